// velkctl's help in the user's language (client/ProgramMessages.h): on a
// Chinese system each summary, description and footer line in Chinese
// first, its English under it; the headings with both.
#pragma once
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

class HelpFormatter : public CLI::Formatter {
public:
    HelpFormatter();

    std::string make_description(const CLI::App* app) const override;
    std::string make_option_desc(const CLI::Option* option) const override;
    std::string make_subcommand(const CLI::App* command) const override;
    std::string make_footer(const CLI::App* app) const override;
    std::string make_group(std::string group, bool positional, std::vector<const CLI::Option*> options) const override;
};

// The heading of the commands' list, which CLI11 takes from their group.
std::string CommandsHeading();
