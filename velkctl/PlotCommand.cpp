// velkctl plot FILE --code CODE... | --signal NAME... --out SVG [--signals FILE]
// [--from T] [--to T] [--title T] [--shade FROM TO] [--mark T]...: needs no bus.
#include <memory>
#include <string>
#include <vector>

#include "chart/ChartGeometry.h"
#include "client/InputFile.h"
#include "client/SignalsOption.h"
#include "formats/CodeArgument.h"
#include "velkctl/Command.h"
#include "velkctl/CommandLine.h"
#include "velkctl/CommandOutcome.h"
#include "velkctl/Plot.h"
#include "signals/SignalTraces.h"
#include "windows/SystemCodePage.h"
#include "client/ProgramMessages.h"

namespace {

class PlotCommand : public Command {
public:
    void AddOptions(CLI::App* command) override
    {
        command->add_option("FILE", file_, N_("the recording, as velkctl record writes it ('-': standard input)"))->required();
        command->add_option("--code", codes_, N_("a code to draw, in hex; repeat for more, at most 8 traces"))
            ->type_name("CODE");
        command->add_option("--signal", signalNames_,
                            N_("with a signal file: a signal (or a message: each of its fields) to draw in physical units; repeat for more"))
            ->type_name("NAME");
        command->add_option("--signals", signalsFile_, N_("the signal file: traces by signal, physical values (default: %VELK_SIGNALS%)"))
            ->type_name("FILE");
        command->add_option("--out", out_, N_("the SVG file to write ('-': standard output)"))->required();
        command->add_option("--from", from_, N_("draw from this time of the recording on, like 12 or 1.5s (default: its first point)"))
            ->type_name("TIME");
        command->add_option("--to", to_, N_("draw up to this time, like 30 or 2m (default: its last point)"))->type_name("TIME");
        command->add_option("--shade", shade_, N_("shade the time from FROM to TO, like the window a test awaited something in"))
            ->expected(2)->type_name("FROM TO");
        command->add_option("--mark", marks_, N_("a dashed line at this time, like the moment a test failed; repeat for more"))
            ->type_name("TIME");
        command->add_option("--title", title_, N_("the chart's title (default: the file's name)"))->type_name("TITLE");
        command->footer(N_("Example:\n"
                           "  velkctl plot session.txt --code 20001001 --code 30000403 --out session.svg\n"
                           "    the values of 20001001 and the first byte of the arrays 30000403 over the\n"
                           "    whole recording, min/max per pixel column, so no spike is lost\n"
                           "  velkctl plot session.txt --signals signals-example.toml --signal pump.status.pressure --out p.svg\n"
                           "    the pressure in bar, as the signal file scales it"));
    }

    int Prepare(const CLI::App& command) override
    {
        if (codes_.empty() && signalNames_.empty()) {
            PrintMessage("velkctl: plot needs --code or --signal: what to draw\n");
            return kExitUsage;
        }
        if (codes_.size() > kMaxTraces) {
            PrintMessage("velkctl: plot draws at most 8 codes (%zu given)\n", codes_.size());
            return kExitUsage;
        }
        for (const std::string& text : codes_) {
            uint32_t code = 0;
            std::string error;
            if (!ParseCodeArgument(text, "code", &code, &error)) {
                PrintMessage("velkctl: %s\n", error.c_str());
                return kExitUsage;
            }
            plot_.codes.push_back(code);
        }
        int loaded = PrepareSignals();
        if (loaded != kExitOk)
            return loaded;
        plot_.fromGiven = Given(&command, "--from");
        plot_.toGiven = Given(&command, "--to");
        if ((plot_.fromGiven && !DurationOption(from_, "--from", false, &plot_.fromMicros)) ||
            (plot_.toGiven && !DurationOption(to_, "--to", false, &plot_.toMicros)))
            return kExitUsage;
        if (plot_.toGiven && plot_.toMicros <= plot_.fromMicros) {
            PrintMessage("velkctl: --to '%s' must come after --from '%s'\n", to_.c_str(),
                         plot_.fromGiven ? from_.c_str() : "0");
            return kExitUsage;
        }
        if (!PrepareShadeAndMarks())
            return kExitUsage;
        plot_.title = Utf8FromSystem(Given(&command, "--title") ? title_ : InputFileName(file_));
        return kExitOk;
    }

    int Run(const BusSession*) override
    {
        return PlotRecording(file_, plot_, signals_, traces_, out_);
    }

private:
    // With a signal file every trace is a signal's (a code the file lacks
    // drawn raw), else --signal is refused and the codes draw as they are.
    int PrepareSignals()
    {
        const std::string file = SignalsFileToLoad(signalsFile_);
        int loaded = LoadSignalsFile(file, &signals_);
        if (loaded != kExitOk)
            return loaded;
        if (file.empty()) {
            if (!signalNames_.empty()) {
                PrintMessage("velkctl: --signal needs a signal file: --signals FILE or VELK_SIGNALS\n");
                return kExitUsage;
            }
            return kExitOk;
        }
        for (uint32_t code : plot_.codes) {
            const SignalMessage* message = signals_.FindCode(code);
            size_t before = traces_.size();
            if (message != nullptr)
                AddMessageTraces(*message, &traces_);
            if (traces_.size() == before)
                traces_.push_back({ code, kRawTrace });
        }
        std::string error;
        if (!FindSignalTraces(signals_, signalNames_, &traces_, &error)) {
            PrintMessage("velkctl: --signal: %s\n", SystemFromUtf8(error).c_str());
            return kExitUsage;
        }
        if (traces_.size() > kMaxTraces) {
            PrintMessage("velkctl: plot draws at most 8 traces (%zu asked for: each array field is one)\n",
                         traces_.size());
            return kExitUsage;
        }
        for (const SignalTraceRef& trace : traces_) {
            const Signal* signal = TraceSignal(signals_, trace);
            plot_.signals.push_back(signal != nullptr ? PlotSignalTrace{ signal->name, signal->unit }
                                                      : PlotSignalTrace{ CodeTraceName(trace.code), "" });
        }
        return kExitOk;
    }

    // --shade and --mark: times of the recording, as --from and --to.
    bool PrepareShadeAndMarks()
    {
        if (!shade_.empty()) {
            plot_.shadeGiven = true;
            if (!DurationOption(shade_[0], "--shade", false, &plot_.shadeFromMicros) ||
                !DurationOption(shade_[1], "--shade", false, &plot_.shadeToMicros))
                return false;
            if (plot_.shadeToMicros <= plot_.shadeFromMicros) {
                PrintMessage("velkctl: --shade's end '%s' must come after its start '%s'\n", shade_[1].c_str(),
                             shade_[0].c_str());
                return false;
            }
        }
        for (const std::string& text : marks_) {
            uint64_t micros = 0;
            if (!DurationOption(text, "--mark", false, &micros))
                return false;
            plot_.marks.push_back(micros);
        }
        return true;
    }

    std::string file_, out_, from_, to_, title_, signalsFile_;
    std::vector<std::string> codes_, signalNames_, shade_, marks_;
    PlotRequest plot_;
    SignalDatabase signals_;
    std::vector<SignalTraceRef> traces_;
};

} // namespace

std::unique_ptr<Command> MakePlotCommand()
{
    return std::unique_ptr<Command>(new PlotCommand);
}
