// velkctl's commands, one row each: adding a command is a row here and the
// file of its Command.
#pragma once
#include <stddef.h>

#include <memory>

#include "velkctl/Command.h"

enum CommandNeeds {
    kNeedsNoBus,   // reads and writes files only (export, plot, signals)
    kNeedsBus,     // attached before Run, detached after
};

struct CommandRow {
    const char* name;
    const char* summary;                 // its line in velkctl --help
    CommandNeeds needs;
    std::unique_ptr<Command> (*make)();
};

// In the order velkctl --help lists them.
extern const CommandRow kCommandTable[];
extern const size_t kCommandCount;
