// velkctl signals check FILE | show FILE [NAME]: what a signal file says,
// or every mistake in it at its line; signals import FILE.dbc|FILE.csv
// [--out rig.toml]: a signal file from a DBC or a communication matrix;
// signals export FILE --dbc [--out rig.dbc]: the file's arrays as a DBC.
// Needs no bus.
#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <memory>
#include <string>

#include "client/ExitStatus.h"
#include "client/InputFile.h"
#include "client/SignalsOption.h"
#include "formats/CodeArgument.h"
#include "signals/DbcCodeMap.h"
#include "signals/DbcEncoding.h"
#include "signals/DbcExport.h"
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
                                                  "import: a signal file from a DBC or a communication matrix (.csv); "
                                                  "export: the file's arrays as a DBC"))
            ->required();
        command->add_option("FILE", file_, N_("the signal file (TOML, docs/signals.md); import: the DBC or the matrix (.csv)"))
            ->required();
        command->add_option("NAME", name_, N_("show: the message or signal to show (motor.speed, pump.status, pump.status.pressure)"));
        command->add_option("--out", out_, N_("import, export: the file to write; without it, or with '-', standard output"));
        command->add_flag("--dbc", dbc_, N_("export: as a DBC (the one format export writes)"));
        command->add_option("--code-base", codeBase_,
                            N_("import, export: the code of the first message, an array code on channel 0 (default 30000400, "
                               "the rule in docs/signals.md)"))
            ->type_name("HEX");
        command->add_option("--code-map", codeMap_,
                            N_("import, export: a file of CAN identifiers and their codes, one pair a line (291 30000400); "
                               "the rule gives the others"))
            ->type_name("FILE");
        command->add_option("--encoding", encoding_, N_("import: the DBC's or matrix's text, auto (the default), utf-8, gbk or latin-1"))
            ->type_name("ENCODING");
        command->footer(N_("Example:\n"
                           "  velkctl signals check signals-example.toml\n"
                           "    6 messages, 11 signals; or each mistake as signals-example.toml:LINE:COLUMN: what is wrong\n"
                           "  velkctl signals show signals-example.toml pump.status\n"
                           "  velkctl signals import rig-example.dbc --out rig.toml\n"
                           "    lists on standard error, each at rig-example.dbc:LINE, what the signal file cannot hold\n"
                           "  velkctl signals import rig-matrix.csv --out rig.toml\n"
                           "  velkctl signals export signals-example.toml --dbc --out rig.dbc"));
    }

    int Prepare(const CLI::App& command) override
    {
        if (action_ != "check" && action_ != "show" && action_ != "import" && action_ != "export") {
            PrintMessage("velkctl: signals: unknown action %s: expected check, show, import or export\n", QuoteInput(action_).c_str());
            return kExitUsage;
        }
        if (action_ != "show" && command.count("NAME") != 0) {
            PrintMessage("velkctl: signals %s takes no NAME\n", action_.c_str());
            return kExitUsage;
        }
        const bool moves = action_ == "import" || action_ == "export";
        if (!moves && (command.count("--out") + command.count("--code-base") + command.count("--code-map")) != 0) {
            PrintMessage("velkctl: signals: --out, --code-base and --code-map go with import and export\n");
            return kExitUsage;
        }
        if (action_ != "import" && command.count("--encoding") != 0) {
            PrintMessage("velkctl: signals: --encoding goes with import\n");
            return kExitUsage;
        }
        if (action_ != "export" && dbc_) {
            PrintMessage("velkctl: signals: --dbc goes with export\n");
            return kExitUsage;
        }
        if (action_ == "export" && !dbc_) {
            PrintMessage("velkctl: signals: export needs --dbc, the format it writes\n");
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
        if (action_ == "export")
            return Export();
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
    int Export();
    // The --code-map file into map_; kExitOk when none is given.
    int ReadCodeMap();
    // text to --out (or standard output), shown as *shown.
    int Write(const std::string& text, std::string* shown);

    std::string action_, file_, name_, out_, codeBase_, codeMap_, encoding_ = "auto";
    bool dbc_ = false;
    DbcCodeMap map_;
    uint32_t base_ = kDbcCodeBase;
    DbcEncoding wanted_ = kDbcAuto;
};

int SignalsCommand::ReadCodeMap()
{
    if (codeMap_.empty())
        return kExitOk;
    std::string bytes;
    int read = ReadInputFile(codeMap_, kMaxDbcBytes, N_("the most a DBC file may hold"), &bytes);
    if (read != kExitOk)
        return read;
    std::vector<std::string> errors;
    if (!ReadDbcCodeMap(bytes, Utf8FromSystem(InputFileName(codeMap_)), &map_, &errors)) {
        for (const std::string& error : errors)
            PrintMessage("%s\n", SystemFromUtf8(error).c_str());
        return kExitUsage;
    }
    return kExitOk;
}

int SignalsCommand::Write(const std::string& text, std::string* shown)
{
    const std::string target = out_.empty() ? "-" : out_;
    *shown = target == "-" ? N_("standard output") : QuotePath(target);
    LineFile file;
    if (!file.Create(target)) {
        PrintMessage("velkctl: signals: cannot create %s: %s\n", shown->c_str(), strerror(errno));
        return kExitIo;
    }
    file.Add(text);
    if (!file.Close()) {
        PrintMessage("velkctl: signals: cannot write %s: %s\n", shown->c_str(), file.ErrorText().c_str());
        return kExitIo;
    }
    return kExitOk;
}

int SignalsCommand::Import()
{
    std::string bytes, text;
    int read = ReadInputFile(file_, kMaxDbcBytes, N_("the most a DBC file may hold"), &bytes);
    if (read == kExitOk)
        read = ReadCodeMap();
    if (read != kExitOk)
        return read;
    const std::string name = Utf8FromSystem(InputFileName(file_));
    DbcEncoding taken;
    if (!DecodeDbcText(bytes, wanted_, GbkCodePage(), &text, &taken)) {
        PrintMessage("velkctl: signals: %s is not %s text\n", QuotePath(file_).c_str(), DbcEncodingName(wanted_));
        return kExitUsage;
    }
    DbcFile dbc;
    std::vector<std::string> errors;
    if (!(IsMatrixCsvName(name) ? ReadMatrixCsv(text, name, &dbc, &errors) : ReadDbcFile(text, name, &dbc, &errors))) {
        for (const std::string& error : errors)
            PrintMessage("%s\n", SystemFromUtf8(error).c_str());
        return kExitUsage;
    }
    DbcImport imported;
    std::string error;
    if (!ImportDbc(dbc, name, base_, &imported, &error, codeMap_.empty() ? nullptr : &map_)) {
        PrintMessage("velkctl: signals: %s\n", SystemFromUtf8(error).c_str());
        return kExitUsage;
    }
    for (const std::string& line : imported.report)
        PrintMessage("%s\n", SystemFromUtf8(line).c_str());
    std::string shown;
    const int written = Write(imported.toml, &shown);
    if (written != kExitOk)
        return written;
    PrintMessage("velkctl: signals: %s read as %s: %s, %s to %s\n", QuotePath(file_).c_str(), DbcEncodingName(taken),
                 CountOf(imported.messages, "message").c_str(), CountOf(imported.signals, "signal").c_str(), shown.c_str());
    if (!imported.report.empty())
        PrintMessage("velkctl: signals: left out or changed: %s, listed above\n",
                     CountOf(imported.report.size(), "item").c_str());
    return kExitOk;
}

int SignalsCommand::Export()
{
    SignalDatabase database;
    int loaded = LoadSignalsFile(file_, &database);
    if (loaded == kExitOk)
        loaded = ReadCodeMap();
    if (loaded != kExitOk)
        return loaded;
    DbcExport exported;
    ExportDbc(database, Utf8FromSystem(InputFileName(file_)), base_, codeMap_.empty() ? nullptr : &map_, &exported);
    for (const std::string& line : exported.report)
        PrintMessage("%s\n", SystemFromUtf8(line).c_str());
    std::string shown;
    const int written = Write(exported.text, &shown);
    if (written != kExitOk)
        return written;
    PrintMessage("velkctl: signals: %s, %s as a DBC to %s\n", CountOf(exported.messages, "message").c_str(),
                 CountOf(exported.signals, "signal").c_str(), shown.c_str());
    if (!exported.report.empty())
        PrintMessage("velkctl: signals: left out or changed: %s, listed above\n",
                     CountOf(exported.report.size(), "item").c_str());
    return kExitOk;
}

} // namespace

std::unique_ptr<Command> MakeSignalsCommand()
{
    return std::unique_ptr<Command>(new SignalsCommand);
}
