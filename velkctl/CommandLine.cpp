#include "velkctl/CommandLine.h"

#include <stdio.h>
#include <string.h>

#include "client/SignalsOption.h"
#include "common/Escapes.h"
#include "common/ClosestWord.h"
#include "velkctl/CommandOutcome.h"
#include "formats/Duration.h"
#include "formats/NumberArgument.h"

namespace {

// What every option of that name takes, whichever command it belongs to.
struct OptionKind {
    const char* name;
    const char* kind;
};

const OptionKind kOptionKinds[] = {
    { "--base", "HEX" },
    { "--bus", "NAME" },
    { "--channel", "CH" },
    { "--code", "CODE[/MASK]" },
    { "--count", "N" },
    { "--duration", "DURATION" },
    { "--every", "DURATION" },
    { "--file", "FILE" },
    { "--interval", "DURATION" },
    { "--loop", "N" },
    { "--mask", "MASK" },
    { "--out", "FILE" },
    { "--signals", "FILE" },
    { "--speed", "X" },
    { "--time", "rel|abs|delta" },
    { "--timeout", "DURATION" },
    { "--type", "TYPE" },
};

// CLI11's names for a value of a C++ type, which tell a user nothing.
bool IsTypeName(const std::string& name)
{
    return name == "TEXT" || name == "INT" || name == "UINT" || name == "FLOAT" || name == "NUMBER";
}

void NameKinds(CLI::App& command)
{
    for (CLI::Option* option : command.get_options()) {
        if (option->get_positional()) {
            option->type_name("");   // its name is its kind: CODE, VALUE, FILE
            continue;
        }
        if (!IsTypeName(option->get_type_name()))
            continue;
        for (const OptionKind& kind : kOptionKinds) {
            if (option->check_lname(kind.name + 2))
                option->type_name(kind.kind);
        }
    }
}

std::vector<CLI::App*> AllCommands(CLI::App& app)
{
    return app.get_subcommands([](CLI::App*) { return true; });
}

std::vector<std::string> CommandNames(CLI::App& app)
{
    std::vector<std::string> names;
    for (CLI::App* command : AllCommands(app))
        names.push_back(command->get_name());
    return names;
}

std::vector<std::string> OptionNames(const CLI::App& command)
{
    std::vector<std::string> names;
    for (const CLI::Option* option : command.get_options()) {
        for (const std::string& name : option->get_lnames())
            names.push_back("--" + name);
        for (const std::string& name : option->get_snames())
            names.push_back("-" + name);
    }
    return names;
}

std::string DidYouMean(const std::string& word, const std::vector<std::string>& candidates, const char* otherwise)
{
    std::string closest = ClosestWord(word, candidates);
    return closest.empty() ? otherwise : "did you mean '" + closest + "'?";
}

int UnknownCommand(CLI::App& app, const std::string& word)
{
    fprintf(stderr, "velkctl: unknown command %s; %s\n", QuoteInput(word).c_str(),
            DidYouMean(word, CommandNames(app), "velkctl --help lists the commands").c_str());
    return kExitUsage;
}

// A negative number is an argument, not an option.
bool LooksLikeOption(const std::string& word)
{
    return word.size() > 1 && word[0] == '-' && !(word[1] >= '0' && word[1] <= '9');
}

// The first word that neither command nor option took, said as what it
// most likely is: a mistyped command or option, or one argument too many.
// False when there is none.
bool ReportLeftOver(CLI::App& app, CLI::App* command)
{
    const std::vector<std::string> words = command->remaining(false);
    if (words.empty())
        return false;
    const std::string& word = words.front();
    if (command == &app) {
        if (LooksLikeOption(word))
            fprintf(stderr, "velkctl: unknown option %s; %s\n", QuoteInput(word).c_str(),
                    DidYouMean(word, OptionNames(app), "velkctl --help lists the options").c_str());
        else
            UnknownCommand(app, word);
        return true;
    }
    const std::string name = command->get_name();
    const std::string otherwise = "velkctl help " + name + " lists its options";
    if (LooksLikeOption(word))
        fprintf(stderr, "velkctl: %s: unknown option %s; %s\n", name.c_str(), QuoteInput(word).c_str(),
                DidYouMean(word, OptionNames(*command), otherwise.c_str()).c_str());
    else
        fprintf(stderr, "velkctl: %s: unexpected argument %s; velkctl help %s shows its usage\n", name.c_str(),
                QuoteInput(word).c_str(), name.c_str());
    return true;
}

int ReportMistake(CLI::App& app, const CLI::ParseError& error)
{
    // A word nobody took explains the parser's complaint ("VALUE is
    // required" when an option was mistyped): it is named first.
    std::vector<CLI::App*> scopes = { &app };
    for (CLI::App* command : app.get_subcommands())
        scopes.push_back(command);
    for (CLI::App* scope : scopes) {
        if (ReportLeftOver(app, scope))
            return kExitUsage;
    }
    if (scopes.size() > 1) {
        const std::string name = scopes.back()->get_name();
        fprintf(stderr, "velkctl: %s: %s; velkctl help %s shows its usage\n", name.c_str(),
                EscapeForDisplay(error.what()).c_str(), name.c_str());
    } else {
        fprintf(stderr, "velkctl: %s; velkctl --help lists the commands\n", EscapeForDisplay(error.what()).c_str());
    }
    return kExitUsage;
}

// velkctl help [COMMAND]
int ShowHelp(CLI::App& app)
{
    const CLI::Option* topic = app.get_subcommand("help")->get_option("COMMAND");
    if (topic->count() == 0) {
        // App::help would show the chosen subcommand's, which is help's own.
        fputs(app.get_formatter()->make_help(&app, app.get_name(), CLI::AppFormatMode::Normal).c_str(), stdout);
        return kExitOk;
    }
    const std::string name = topic->as<std::string>();
    for (CLI::App* command : AllCommands(app)) {
        if (command->get_name() == name) {
            fputs(command->help(app.get_name()).c_str(), stdout);
            return kExitOk;
        }
    }
    return UnknownCommand(app, name);
}

} // namespace

void StartCommandLine(CLI::App& app, const char* version)
{
    // Windows users type C:\..., and /tmp/x.txt is a file under Wine.
    app.allow_windows_style_options(false);
    app.set_version_flag("--version", std::string("velkctl ") + version, "print velkctl's version and exit");
    app.set_help_flag("-h,--help", "print this help and exit");
}

void FinishCommandLine(CLI::App& app)
{
    CLI::App* help = app.add_subcommand("help", "show a command's help: velkctl help post is velkctl post --help");
    help->add_option("COMMAND", "the command, as --help lists them");
    help->footer("Example:\n  velkctl help monitor");
    NameKinds(app);
    for (CLI::App* command : AllCommands(app)) {
        command->allow_windows_style_options(false);
        NameKinds(*command);
    }
}

int ParseCommandLine(CLI::App& app, int argc, char** argv)
{
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& help) {
        return app.exit(help);
    } catch (const CLI::CallForAllHelp& help) {
        return app.exit(help);
    } catch (const CLI::CallForVersion& version) {
        return app.exit(version);
    } catch (const CLI::ParseError& error) {
        return ReportMistake(app, error);
    }
    if (app.got_subcommand("help"))
        return ShowHelp(app);
    return kParsed;
}

bool Given(const CLI::App* command, const char* option)
{
    return command->count(option) != 0;
}

bool CountOption(const CLI::App* command, const std::string& text, uint64_t* count)
{
    int64_t value = 0;
    if (Given(command, "--count") && !NumberOption(text, "count", 1, INT64_MAX, &value))
        return false;
    *count = static_cast<uint64_t>(value);
    return true;
}

bool NumberOption(const std::string& text, const char* what, int64_t minimum, int64_t maximum, int64_t* value)
{
    std::string error;
    if (ParseNumberOption(text, what, minimum, maximum, value, &error))
        return true;
    fprintf(stderr, "velkctl: %s\n", error.c_str());
    return false;
}

bool DurationOption(const std::string& text, const char* what, bool positive, uint64_t* micros)
{
    std::string error;
    if (ParseDurationOption(text, what, positive, micros, &error))
        return true;
    fprintf(stderr, "velkctl: %s\n", error.c_str());
    return false;
}

void AddSignalsOption(CLI::App* command, std::string* file)
{
    command->add_option("--signals", *file,
                        "decode by this signal file: names, units, scaling (docs/signals.md; default: VELK_SIGNALS)");
}

int LoadSignalsOption(const std::string& given, SignalDatabase* database, const SignalDatabase** used)
{
    int loaded = LoadSignalsFile(SignalsFileToLoad(given), database);
    if (used != nullptr)
        *used = database->Messages().empty() ? nullptr : database;
    return loaded;
}
