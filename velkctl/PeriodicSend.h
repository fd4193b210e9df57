// Sends on absolute deadlines: post, send-str and send-arr with --every and
// --count, and replay.
#pragma once
#include <stdint.h>
#include <functional>

#include "client/BusBinding.h"

const uint64_t kSendUntilStopped = UINT64_MAX;

// Calls send(n) for n = 0 .. count-1, each at start + offsetMicros(n); ends
// early when send returns false (it has said why) or a stop is requested.
// Prints "velkctl: <verb> N messages in ..." to stderr and returns N.
uint64_t SendOnDeadlines(const char* verb, uint64_t count, const std::function<uint64_t(uint64_t)>& offsetMicros,
                         const std::function<bool(uint64_t)>& send);

struct PeriodicOptions {
    uint64_t everyMicros;      // 0: back to back
    uint64_t count;            // 0: until stopped
};

// Calls post (one vPostData, its result returned) count times, the n-th at
// start + n * every; ends early on a refusal or a stop request. The process
// exit code; a summary of what was sent goes to stderr.
int SendPeriodically(const char* command, const PeriodicOptions& options, const std::function<int()>& post);

// The send commands' one way to post: once (its result checked), or as
// options say with --every or --count; either way, when it went out, a
// note if the bus ends with velkctl. The process exit code.
int SendOnceOrPeriodically(const BusBinding& bus, const char* command, const PeriodicOptions& options,
                           const std::function<int()>& post);
