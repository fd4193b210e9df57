// post, send-str and send-arr with --every and --count: the same message
// again and again on absolute deadlines.
#pragma once
#include <stdint.h>
#include <functional>

struct PeriodicOptions {
    uint64_t everyMicros;      // 0: back to back
    uint64_t count;            // 0: until stopped
};

// Calls post (one vPostData, its result returned) count times, the n-th at
// start + n * every; ends early on a refusal or a stop request. The process
// exit code; a summary of what was sent goes to stderr.
int SendPeriodically(const char* command, const PeriodicOptions& options, const std::function<int()>& post);
