// velkctl bridge: one end of a bus joined to others through whatever carries
// lines (mosquitto_sub and mosquitto_pub, a file, ssh). Every message the
// bus delivers goes to standard output as a JSON line; every line read from
// standard input is posted to the bus. See docs/bridge.md.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string>

#include <windows.h>

#include "velkctl/BridgeRules.h"
#include "client/BusBinding.h"

struct BridgeOptions {
    std::string origin;
    MessageFilter send;                             // what goes out from the bus
    AcceptRule accept;                              // what comes in from the network
    std::string topicPrefix;                        // lines are mosquitto_sub -F %j's, the topic PREFIX+origin
    size_t batchLines = 1;                          // the most messages one output line carries
    uint64_t statsMicros = 0;                       // counts on stderr this often; 0: only at the end
    bool exitOnEof = false;
};

// The process exit code: kExitOk after Ctrl+C (or the end of input with
// exitOnEof), kExitIo when standard output is closed or input cannot be
// read, kExitRefused when the window cannot register.
int RunBridge(const BusBinding& bus, HWND window, const BridgeOptions& options);
