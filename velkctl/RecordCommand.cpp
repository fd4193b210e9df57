// velkctl record FILE [--mask M] [--count N] [--duration D] [filters]
//   [--gzip] [--split SIZE|DURATION [--keep SIZE|COUNT]]
//   [--trigger PREDICATE [--pre D] [--post D] [--retrigger N] [--level] [--signals FILE]]
#include <stdio.h>

#include <memory>
#include <string>

#include "client/SignalsOption.h"
#include "formats/GzipMembers.h"
#include "common/Escapes.h"
#include "signals/DatabaseResolver.h"
#include "velkctl/Command.h"
#include "velkctl/CommandLine.h"
#include "velkctl/FilterOptions.h"
#include "velkctl/Record.h"
#include "windows/SystemCodePage.h"
#include "client/ProgramMessages.h"
#include "common/FormatText.h"

namespace {

const char kDefaultPre[] = "5s";
const char kDefaultPost[] = "5s";
const int64_t kMaxRetrigger = 10000;

class RecordCommand : public Command {
public:
    void AddOptions(CLI::App* command) override
    {
        command->add_option("FILE", options_.path, N_("the recording to make ('-': standard output)"))->required();
        AddMaskOption(command, &mask_);
        command->add_option("--count", count_, N_("stop after N messages recorded, 1 or more"));
        command->add_option("--duration", duration_,
                            N_("stop after this long, like 500ms, 10 (seconds), 3m (at most 100 days)"));
        AddFilterOptions(command, &filter_);
        command->add_flag("--gzip", options_.compressed,
                          N_("write it compressed, as gzip (gzip -d, 7-Zip and every velkctl command read it); "
                             "a FILE ending in .gz is"));
        command->add_option("--split", split_,
                            N_("write FILE in parts NAME-0001.EXT, NAME-0002.EXT, ..., a new one every SIZE "
                               "(1MiB or more, like 256MiB) or DURATION (1s or more, like 1h); with --trigger "
                               "every window goes into the parts"))
            ->type_name("SIZE|DURATION");
        command->add_option("--keep", keep_,
                            N_("with --split: delete the oldest finished parts beyond SIZE (all parts together, "
                               "like 10GiB) or COUNT parts; never the part being written"))
            ->type_name("SIZE|COUNT");
        command->add_option("--trigger", trigger_.text,
                            N_("write only around the messages PREDICATE holds on (\"20000801 gt 1500\", "
                               "\"motor.state eq FAULT\"; docs/velkctl.md); it sees every message, the filters "
                               "choose what is written"))
            ->type_name("PREDICATE");
        command->add_option("--pre", pre_,
                            FormatText(N_("with --trigger: how long before the trigger the file starts (default %s; "
                                          "the ring holds at most 524288 messages or 32 MiB)"),
                                       kDefaultPre))
            ->type_name("DURATION");
        command->add_option("--post", post_,
                            FormatText(N_("with --trigger: how long after the trigger the file goes on (default %s)"),
                                       kDefaultPost))
            ->type_name("DURATION");
        command->add_option("--retrigger", retrigger_,
                            N_("with --trigger: a file per trigger, FILE's stem -1, -2, ... before its extension, "
                               "at most N (1-10000), then stop"))
            ->type_name("N");
        command->add_flag("--level", trigger_.level,
                          N_("with --trigger: fire on every message PREDICATE holds on, not only when it becomes "
                             "true"));
        command->add_option("--signals", signalsFile_,
                            N_("with --trigger: the signal file the predicate's names come from (default: VELK_SIGNALS)"))
            ->type_name("FILE");
        command->footer(N_("Example:\n"
                           "  velkctl record session.txt --duration 10s\n"
                           "    writes what comes in 10 s; Ctrl+C ends it sooner, the file whole\n"
                           "  velkctl record night.txt.gz --duration 8h\n"
                           "    compressed; a crash loses about the last second at most\n"
                           "  velkctl record run.txt.gz --split 1h --keep 10GiB\n"
                           "    run-0001.txt.gz, run-0002.txt.gz, ...: an hour each, the oldest deleted past 10 GiB\n"
                           "  velkctl record fault.txt --trigger \"20000801 gt 1500\" --pre 2s --post 1s --retrigger 3\n"
                           "    fault-1.txt, fault-2.txt, fault-3.txt: 2 s before each trigger, its message\n"
                           "    after a '# trigger' line, 1 s after"));
    }

    int Prepare(const CLI::App& command) override
    {
        if (!MakeFilterAndMask(filter_, Given(&command, "--mask"), mask_, &options_.filter, &options_.mask) ||
            !CountOption(&command, count_, &options_.count) ||
            (Given(&command, "--duration") && !DurationOption(duration_, "duration", true, &options_.durationMicros)))
            return kExitUsage;
        options_.compressed = options_.compressed || NamesCompressedFile(options_.path);
        if (!PrepareParts(command))
            return kExitUsage;
        triggered_ = Given(&command, "--trigger");
        if (!triggered_) {
            for (const char* option : { "--pre", "--post", "--retrigger", "--level", "--signals" }) {
                if (Given(&command, option)) {
                    PrintMessage("velkctl: record: %s needs --trigger\n", option);
                    return kExitUsage;
                }
            }
            return kExitOk;
        }
        return PrepareTrigger(command);
    }

    int Run(const BusSession* session) override
    {
        if (triggered_)
            return RecordTriggered(session->bus, session->window, options_, trigger_);
        return RecordMessages(session->bus, session->window, options_);
    }

private:
    bool PrepareParts(const CLI::App& command)
    {
        const bool split = Given(&command, "--split");
        std::string error;
        if (Given(&command, "--keep") && !split) {
            PrintMessage("velkctl: record: --keep needs --split\n");
            return false;
        }
        if (!split)
            return true;
        if (options_.path == "-") {
            PrintMessage("velkctl: record: --split writes files of their own: give a FILE, not '-'\n");
            return false;
        }
        if (!ParseSplit(split_, &options_.split, &error) ||
            (Given(&command, "--keep") && !ParseKeep(keep_, &options_.keep, &error))) {
            PrintMessage("velkctl: record: %s\n", error.c_str());
            return false;
        }
        return true;
    }

    int PrepareTrigger(const CLI::App& command)
    {
        if (Given(&command, "--count")) {
            PrintMessage("velkctl: record: --count does not go with --trigger: --post, --retrigger and "
                            "--duration end a triggered recording\n");
            return kExitUsage;
        }
        trigger_.numbered = Given(&command, "--retrigger");
        if (trigger_.numbered && options_.path == "-") {
            PrintMessage("velkctl: record: --retrigger writes numbered files: give a FILE, not '-'\n");
            return kExitUsage;
        }
        int64_t files = 1;
        if ((trigger_.numbered && !NumberOption(retrigger_, "retrigger", 1, kMaxRetrigger, &files)) ||
            !DurationOption(Given(&command, "--pre") ? pre_ : kDefaultPre, "pre", false, &trigger_.preMicros) ||
            !DurationOption(Given(&command, "--post") ? post_ : kDefaultPost, "post", false, &trigger_.postMicros))
            return kExitUsage;
        trigger_.files = static_cast<unsigned>(files);

        const std::string signals = SignalsFileToLoad(signalsFile_);
        int loaded = LoadSignalsFile(signals, &database_);
        if (loaded != kExitOk)
            return loaded;
        if (!signals.empty()) {
            resolver_.reset(new DatabaseResolver(database_, WindowsSignalCodePages()));
            trigger_.signals = resolver_.get();
        }
        std::string error;
        if (!ParsePredicate(Utf8FromSystem(trigger_.text), trigger_.signals, &trigger_.predicate, &error)) {
            PrintMessage("velkctl: %s: %s\n", FormatText(N_("bad --trigger %s"), QuoteInput(trigger_.text).c_str()).c_str(),
                         SystemFromUtf8(error).c_str());
            return kExitUsage;
        }
        // The trigger's codes come whatever the filters pass, unless --mask says otherwise.
        MessageFilter triggerCodes;
        triggerCodes.AddCode(trigger_.predicate.pattern);
        if (!Given(&command, "--mask"))
            options_.mask |= triggerCodes.SubscriptionMask();
        else if ((options_.mask & triggerCodes.SubscriptionMask()) == 0)
            PrintMessage("velkctl: warning: --mask keeps out every code the trigger looks at: it never fires\n");
        return kExitOk;
    }

    std::string mask_, count_, duration_, split_, keep_, pre_, post_, retrigger_, signalsFile_;
    FilterArguments filter_;
    RecordOptions options_;
    bool triggered_ = false;
    TriggerOptions trigger_;
    SignalDatabase database_;
    std::unique_ptr<DatabaseResolver> resolver_;
};

} // namespace

std::unique_ptr<Command> MakeRecordCommand()
{
    return std::unique_ptr<Command>(new RecordCommand);
}
