// velkctl session's requests: one JSON object a line (docs/session.md), read
// into a SessionRequest or refused with the line number and the fault, for
// the answer {"id":N,"ok":false,"error":"line 3: ..."}. Pure logic.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string>

#include "formats/Predicate.h"
#include "formats/MessageFilter.h"

enum SessionOp {
    kSessionPost, kSessionExpect, kSessionCollect, kSessionRate, kSessionVarGet, kSessionVarSet,
    kSessionClients, kSessionCounters, kSessionSubscribe, kSessionUnsubscribe, kSessionRecent, kSessionReplay,
    kSessionQuit,
};

// The op's word in requests ("var-get").
const char* SessionOpName(SessionOp op);

enum SessionPostKind { kPostValue, kPostText, kPostBytes };

enum {
    kSessionVariables = 64,           // var-get and var-set take index 0-63
    kDefaultCollectMax = 1000,        // collect's "max" when not given
    kMaxCollectMax = 100000,
    kDefaultRecentMax = 100,          // recent's "max" when not given
    kMaxRecentMax = 1000,
    // A line longer than the longest post (a payload's hex and the rest) is no request.
    kMaxRequestBytes = 2 * kMaxRecordedPayload + 4096,
};

// An id is a whole number a double holds exactly (what JavaScript and
// Python's json module read back unchanged).
const uint64_t kMaxSessionId = (1ULL << 53) - 1;

struct SessionRequest {
    bool hasId = false;
    uint64_t id = 0;
    SessionOp op = kSessionQuit;

    // post, collect, rate, subscribe: "code" (CODE, or CODE/MASK but for
    // post) or "signal" (resolved to its code, mask ffffffff).
    CodePattern pattern = { 0, 0xFFFFFFFF };
    std::string signal;

    // post: "value", "text" (UTF-8, to the code page at sending) or
    // "bytes" (hex); a signal takes a value, a number or an enum name, and a
    // string message text (to its encoding at sending).
    SessionPostKind postKind = kPostValue;
    int32_t value = 0;                // post by code, var-set
    double signalValue = 0;           // post by signal
    std::string payload;              // text or bytes

    Predicate match;                  // expect's "match", the predicate grammar
    uint64_t micros = 0;              // expect's "within", collect's and rate's "over"
    size_t max = kDefaultCollectMax;  // collect, recent: messages at most
    unsigned index = 0;               // var-get, var-set
    uint64_t sub = 0;                 // unsubscribe: the number subscribe answered

    // replay: the recording as velkctl replay names it (not '-': standard
    // input holds the requests), and its speed as replay's --speed takes it.
    std::string file;
    double speed = 1;
};

// One line without its end. lineNumber counts the session's input lines
// from 1. False with "line N: ..." in *error; *request then holds the id
// when the line had a good one (hasId), for the error answer.
bool ParseSessionRequest(const std::string& line, uint64_t lineNumber, const SignalResolver* signals,
                         SessionRequest* request, std::string* error);
