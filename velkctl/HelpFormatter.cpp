#include "velkctl/HelpFormatter.h"

#include <sstream>

#include "client/ProgramMessages.h"

namespace {

// A heading: both languages on one line, "用法 Usage".
std::string Heading(const char* english)
{
    return Localized(english, " ");
}

// Each line of text in the user's language, the English under its Chinese.
std::string LineByLine(const std::string& text)
{
    std::string shown;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line))
        shown += Localized(line) + "\n";
    return shown;
}

} // namespace

HelpFormatter::HelpFormatter()
{
    for (const char* heading : { N_("Usage"), N_("OPTIONS"), N_("SUBCOMMAND"), N_("REQUIRED") })
        label(heading, Heading(heading));
}

std::string HelpFormatter::make_description(const CLI::App* app) const
{
    const std::string description = app->get_description();
    return description.empty() ? std::string() : Localized(description) + "\n";
}

std::string HelpFormatter::make_option_desc(const CLI::Option* option) const
{
    return Localized(CLI::Formatter::make_option_desc(option));
}

std::string HelpFormatter::make_subcommand(const CLI::App* command) const
{
    std::stringstream out;
    CLI::detail::format_help(out, command->get_display_name(), Localized(command->get_description()),
                             get_column_width());
    return out.str();
}

std::string HelpFormatter::make_footer(const CLI::App* app) const
{
    const std::string footer = app->get_footer();
    return footer.empty() ? std::string() : LineByLine(footer);
}

std::string HelpFormatter::make_group(std::string group, bool positional, std::vector<const CLI::Option*> options) const
{
    return CLI::Formatter::make_group(Heading(group.c_str()), positional, options);
}

std::string CommandsHeading()
{
    return Heading(N_("Subcommands"));
}
