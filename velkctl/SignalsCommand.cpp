// velkctl signals check FILE | show FILE [NAME]: what a signal file says,
// or every mistake in it at its line; signals import FILE.dbc [--out
// rig.toml]: a signal file from a DBC. Needs no bus.
#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <memory>
#include <string>

#include "client/ExitStatus.h"
#include "client/InputFile.h"
#include "client/SignalsOption.h"
#include "formats/CodeArgument.h"
#include "signals/DbcEncoding.h"
#include "signals/DbcFile.h"
#include "signals/DbcImport.h"
#include "signals/MatrixCsv.h"
#include "windows/LineFile.h"
#include "common/Escapes.h"
#include "common/FormatText.h"
#include "velkctl/SignalTable.h"
#include "velkctl/Command.h"
#include "windows/SystemCodePage.h"
#include "client/ProgramMessages.h"

namespace {

class SignalsCommand : public Command {
public:
    void AddOptions(CLI::App* command) override
    {
        command->add_option("ACTION", action_, N_("check: the file's mistakes, or how many messages and signals it has; "
                                                  "show: its table, or one message or signal with its byte layout; "
                                                  "import: a signal file from a DBC"))
            ->required();
        command->add_option("FILE", file_, N_("the signal file (TOML, docs/signals.md); import: the DBC"))->required();
        command->add_option("NAME", name_, N_("show: the message or signal to show (motor.speed, pump.status, pump.status.pressure)"));
        command->add_option("--out", out_, N_("import: the signal file to write; without it, or with '-', standard output"));
        command->add_option("--code-base", codeBase_,
                            N_("import: the code of the first message, an array code on channel 0 (default 30000400, "
                               "the rule in docs/signals.md)"))
            ->type_name("HEX");
        command->add_option("--encoding", encoding_, N_("import: the DBC's text, auto (the default), utf-8, gbk or latin-1"))
            ->type_name("ENCODING");
        command->footer(N_("Example:\n"
                           "  velkctl signals check signals-example.toml\n"
                           "    6 messages, 11 signals; or each mistake as signals-example.toml:LINE:COLUMN: what is wrong\n"
                           "  velkctl signals show signals-example.toml pump.status\n"
                           "  velkctl signals import rig-example.dbc --out rig.toml\n"
                           "    lists on standard error, each at rig-example.dbc:LINE, what the signal file cannot hold"));
    }

    int Prepare(const CLI::App& command) override
    {
        if (action_ != "check" && action_ != "show" && action_ != "import") {
            PrintMessage("velkctl: signals: unknown action %s: expected check, show or import\n", QuoteInput(action_).c_str());
            return kExitUsage;
        }
        if (action_ != "show" && command.count("NAME") != 0) {
            PrintMessage("velkctl: signals %s takes no NAME\n", action_.c_str());
            return kExitUsage;
        }
        if (action_ != "import" && (command.count("--out") + command.count("--code-base") + command.count("--encoding")) != 0) {
            PrintMessage("velkctl: signals: --out, --code-base and --encoding go with import\n");
            return kExitUsage;
        }
        std::string why;
        if (command.count("--code-base") != 0 && !ParseCodeArgument(codeBase_, "code base", &base_, &why)) {
            PrintMessage("velkctl: signals: %s\n", why.c_str());
            return kExitUsage;
        }
        if (!DbcEncodingOfName(encoding_, &wanted_)) {
            PrintMessage("velkctl: signals: unknown encoding %s: expected auto, utf-8, gbk or latin-1\n",
                         QuoteInput(encoding_).c_str());
            return kExitUsage;
        }
        return kExitOk;
    }

    int Run(const BusSession*) override
    {
        if (action_ == "import")
            return Import();
        SignalDatabase database;
        int loaded = LoadSignalsFile(file_, &database);
        if (loaded != kExitOk)
            return loaded;
        std::string shown;
        if (action_ == "check") {
            shown = SignalSummary(database) + "\n";
        } else if (name_.empty()) {
            shown = FormatSignalTable(database);
        } else {
            std::string error;
            if (!FormatSignalDetail(database, Utf8FromSystem(name_), &shown, &error)) {
                PrintMessage("velkctl: %s\n", SystemFromUtf8(error).c_str());
                return kExitUsage;
            }
        }
        fputs(SystemFromUtf8(shown).c_str(), stdout);
        return kExitOk;
    }

private:
    int Import();

    std::string action_, file_, name_, out_, codeBase_, encoding_ = "auto";
    uint32_t base_ = kDbcCodeBase;
    DbcEncoding wanted_ = kDbcAuto;
};

int SignalsCommand::Import()
{
    std::string bytes, text;
    int read = ReadInputFile(file_, kMaxDbcBytes, N_("the most a DBC file may hold"), &bytes);
    if (read != kExitOk)
        return read;
    const std::string name = Utf8FromSystem(InputFileName(file_));
    DbcEncoding taken;
    if (!DecodeDbcText(bytes, wanted_, GbkCodePage(), &text, &taken)) {
        PrintMessage("velkctl: signals: %s is not %s text\n", QuotePath(file_).c_str(), DbcEncodingName(wanted_));
        return kExitUsage;
    }
    const bool matrix = IsMatrixCsvName(name);
    DbcFile dbc;
    std::vector<std::string> errors;
    if (!(matrix ? ReadMatrixCsv(text, name, &dbc, &errors) : ReadDbcFile(text, name, &dbc, &errors))) {
        for (const std::string& error : errors)
            PrintMessage("%s\n", SystemFromUtf8(error).c_str());
        return kExitUsage;
    }
    DbcImport imported;
    std::string error;
    if (!ImportDbc(dbc, name, base_, &imported, &error)) {
        PrintMessage("velkctl: signals: %s\n", SystemFromUtf8(error).c_str());
        return kExitUsage;
    }
    for (const std::string& line : imported.report)
        PrintMessage("%s\n", SystemFromUtf8(line).c_str());
    const std::string target = out_.empty() ? "-" : out_;
    const std::string shown = target == "-" ? N_("standard output") : QuotePath(target);
    LineFile file;
    if (!file.Create(target)) {
        PrintMessage("velkctl: signals: cannot create %s: %s\n", shown.c_str(), strerror(errno));
        return kExitIo;
    }
    file.Add(imported.toml);
    if (!file.Close()) {
        PrintMessage("velkctl: signals: cannot write %s: %s\n", shown.c_str(), file.ErrorText().c_str());
        return kExitIo;
    }
    PrintMessage("velkctl: signals: %s read as %s: %s, %s to %s\n", QuotePath(file_).c_str(), DbcEncodingName(taken),
                 CountOf(imported.messages, "message").c_str(), CountOf(imported.signals, "signal").c_str(), shown.c_str());
    if (!imported.report.empty())
        PrintMessage("velkctl: signals: left out or changed: %s, listed above\n",
                     CountOf(imported.report.size(), "item").c_str());
    return kExitOk;
}

} // namespace

std::unique_ptr<Command> MakeSignalsCommand()
{
    return std::unique_ptr<Command>(new SignalsCommand);
}
