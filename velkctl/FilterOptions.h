// The filter options of velkctl's receiving commands on the command line:
// --code CODE[/MASK], --channel N, --type NAME, each repeatable
// (velkctl/MessageFilter.h says what they mean).
//
// A command that receives messages (monitor, record, stats, export, and the
// views to come) uses it in three steps:
//   AddFilterOptions(command, &args.filter);             // while building the CLI
//   MessageFilter filter;
//   if (!MakeFilter(args.filter, &filter)) return kExitUsage;   // before the bus is touched
//   mask = maskGiven ? mask : filter.SubscriptionMask();
// then passes &filter in ReceiveOptions (velkctl/ReceiveLoop.h), which takes
// filtered-out messages off the queue, fetches their payloads as any other
// and counts them through MessageSink::FilteredOut; say that count apart
// in the command's summary. Reading a file (export), call filter.Passes.
#pragma once
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "formats/MessageFilter.h"

struct FilterArguments {
    std::vector<std::string> codes, channels, types;
};

void AddFilterOptions(CLI::App* command, FilterArguments* args);

// --mask MASK of a receiving command with filters (record, stats, top).
void AddMaskOption(CLI::App* command, std::string* mask);

// False after "velkctl: bad ..." on stderr naming the option and its text.
// A filter that can pass nothing is taken, with a warning on stderr.
bool MakeFilter(const FilterArguments& args, MessageFilter* filter);

// The filter and the subscription mask of a receiving command: maskText
// when --mask was given, else what the filter needs. False after a message
// on stderr.
bool MakeFilterAndMask(const FilterArguments& args, bool maskGiven, const std::string& maskText,
                       MessageFilter* filter, uint32_t* mask);
