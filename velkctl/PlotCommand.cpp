// velkctl plot FILE --code CODE... --out SVG [--from T] [--to T] [--title T]:
// needs no bus.
#include <memory>
#include <string>
#include <vector>

#include "client/InputFile.h"
#include "formats/CodeArgument.h"
#include "velkctl/Command.h"
#include "velkctl/CommandLine.h"
#include "velkctl/Commands.h"
#include "velkctl/Plot.h"
#include "windows/SystemCodePage.h"

namespace {

class PlotCommand : public Command {
public:
    void AddOptions(CLI::App* command) override
    {
        command->add_option("FILE", file_, "the recording, as velkctl record writes it ('-': standard input)")->required();
        command->add_option("--code", codes_, "a code to draw, in hex; repeat for more, at most 8")
            ->required()->type_name("CODE");
        command->add_option("--out", out_, "the SVG file to write ('-': standard output)")->required();
        command->add_option("--from", from_, "draw from this time of the recording on, like 12 or 1.5s (default: its first point)")
            ->type_name("TIME");
        command->add_option("--to", to_, "draw up to this time, like 30 or 2m (default: its last point)")->type_name("TIME");
        command->add_option("--title", title_, "the chart's title (default: the file's name)")->type_name("TITLE");
        command->footer("Example:\n"
                        "  velkctl plot session.txt --code 20001001 --code 30000403 --out session.svg\n"
                        "    the values of 20001001 and the first byte of the arrays 30000403 over the\n"
                        "    whole recording, min/max per pixel column, so no spike is lost");
    }

    int Prepare(const CLI::App& command) override
    {
        if (codes_.size() > 8) {
            fprintf(stderr, "velkctl: plot draws at most 8 codes (%zu given)\n", codes_.size());
            return kExitUsage;
        }
        for (const std::string& text : codes_) {
            uint32_t code = 0;
            std::string error;
            if (!ParseCodeArgument(text, "code", &code, &error)) {
                fprintf(stderr, "velkctl: %s\n", error.c_str());
                return kExitUsage;
            }
            plot_.codes.push_back(code);
        }
        plot_.fromGiven = Given(&command, "--from");
        plot_.toGiven = Given(&command, "--to");
        if ((plot_.fromGiven && !DurationOption(from_, "--from", false, &plot_.fromMicros)) ||
            (plot_.toGiven && !DurationOption(to_, "--to", false, &plot_.toMicros)))
            return kExitUsage;
        if (plot_.toGiven && plot_.toMicros <= plot_.fromMicros) {
            fprintf(stderr, "velkctl: --to '%s' must come after --from '%s'\n", to_.c_str(),
                    plot_.fromGiven ? from_.c_str() : "0");
            return kExitUsage;
        }
        plot_.title = Utf8FromSystem(Given(&command, "--title") ? title_ : InputFileName(file_));
        return kExitOk;
    }

    int Run(const BusSession*) override
    {
        return PlotRecording(file_, plot_, out_);
    }

private:
    std::string file_, out_, from_, to_, title_;
    std::vector<std::string> codes_;
    PlotRequest plot_;
};

} // namespace

std::unique_ptr<Command> MakePlotCommand()
{
    return std::unique_ptr<Command>(new PlotCommand);
}
