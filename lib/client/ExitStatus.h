// The exit statuses of velkctl and velkscope, one table for every command
// (velkctl --help, docs/velkctl.md and the zips' README.txt show it).
#pragma once

enum ExitStatus {
    kExitOk = 0,
    kExitNoBus = 1,        // velk.dll missing or not a bus library, or the bus unusable
    kExitUsage = 2,        // a bad or mistyped command, option or argument, or a malformed input file
    kExitRefused = 3,      // the library refused the request
    kExitTimedOut = 4,     // fewer messages than --count before --timeout
    kExitIo = 5,           // a file or standard input/output that cannot be opened, read, made or written
    kExitCrashed = 6,      // velkctl or the library crashed, or an internal error
};
