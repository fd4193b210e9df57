// velkscope's command line. Pure logic; the arguments in UTF-8.
//
//   velkscope [RECORDING ...] [--workspace FILE] [--code CODE ...] [--signals FILE]
//             [--signal NAME ...] [--window D] [--mask M] [--array byte|word] [--bus NAME]
#pragma once
#include <stdint.h>
#include <string>
#include <vector>

#include "chart/TraceValue.h"

struct ScopeOptions {
    std::vector<uint32_t> codes;          // ticked from the start
    int64_t windowMicros = 10000000;      // 1 s to 1 h
    uint32_t mask = 0;                    // subscription; every type bit unless given
    ArrayValue arrayValue = kArrayFirstByte;
    std::string busName;                  // empty: %VELK_BUS_NAME%, else the session's bus
    std::string signalsFile;              // empty: %VELK_SIGNALS%, else none
    std::vector<std::string> signalNames; // ticked from the start, found in the signal file
    std::vector<std::string> recordings;  // opened at the start, in this order
    std::string workspace;                // opened at the start; empty: none
    bool help = false;
};

enum : int64_t {
    kMinWindowMicros = 1000000,
    kMaxWindowMicros = 3600000000LL,
};

// The arguments after the program's name. False with what is wrong, naming
// the argument, in *error.
bool ParseScopeArguments(const std::vector<std::string>& args, ScopeOptions* options, std::string* error);
