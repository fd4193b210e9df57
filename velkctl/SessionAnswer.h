// velkctl session's output lines: answers to requests and message events,
// one JSON object a line, without the newline (docs/session.md). A message
// is written as monitor --jsonl writes it (formats/JsonLine.h), with its
// decoded signals beside it. Pure logic.
#pragma once
#include <stdint.h>
#include <string>
#include <vector>

#include "velkctl/SessionRequest.h"
#include "protocol/BusCounters.h"
#include "common/PayloadText.h"
#include "formats/RecordLine.h"

// A message as answers and events hold it:
// {"t":1.250000,"code":"20001001","kind":"value","value":593,"signals":{"motor.speed":148.25}}
// "t" is seconds since the session started, by the bus's timestamps;
// signalsJson: monitor --jsonl's "signals" object of the message
// (signals/SignalText.h's FormatSignalsJson), empty for none.
std::string FormatSessionMessage(const RecordedMessage& message, bool expired, const CodePage& codePage,
                                 const std::string& signalsJson);

// A number as JSON: the shortest text that reads back as the same double;
// null for infinity and NaN, which JSON lacks.
std::string JsonNumber(double value);

// {"id":N,"ok":true<members>}; members empty or starting with a comma.
std::string FormatOkAnswer(uint64_t id, const std::string& members = std::string());

// {"id":N,"ok":false,"error":"line 3: ..."}, "id":null when the line had no
// good id.
std::string FormatErrorAnswer(const SessionRequest& request, const std::string& error);

// expect: {"id":N,"ok":true,"matched":true,"msg":MESSAGE}, or at the
// timeout {"id":N,"ok":true,"matched":false,"seen":K,"last":MESSAGE}: how
// many messages of the predicate's codes came while it was armed, and the
// last of them ("last" left out when none came). Messages come from
// FormatSessionMessage.
std::string FormatMatchAnswer(uint64_t id, const std::string& message);
std::string FormatTimeoutAnswer(uint64_t id, uint64_t seen, const std::string& lastOrEmpty);

// collect: {"id":N,"ok":true,"count":K,"cut":false,"msgs":[MESSAGE,...]};
// count is every message that came, msgs the first "max" of them.
std::string FormatCollectAnswer(uint64_t id, uint64_t count, const std::vector<std::string>& messages);

// recent: {"id":N,"ok":true,"msgs":[MESSAGE,...]}, oldest first.
std::string FormatRecentAnswer(uint64_t id, const std::vector<std::string>& messages);

// rate: {"id":N,"ok":true,"count":K,"hz":50,"span":1.98,"over":2}: the
// messages that came in "over" seconds, the span from the first's bus
// timestamp to the last's, and hz = (count - 1) / span; with fewer than
// two messages (no span) hz = count / over.
std::string FormatRateAnswer(uint64_t id, uint64_t count, uint64_t firstMicros, uint64_t lastMicros,
                             uint64_t overMicros);

// What a replay did: the messages posted, those of them that came after a
// trigger mark and those whose payload had expired when recorded, the parts
// read, the time from its first deadline to its end, and what the reader
// passed over (a torn last member, a part cut short; empty for none).
struct SessionReplayCounts {
    uint64_t posted;
    uint64_t triggers;
    uint64_t expired;
    size_t parts;
    uint64_t micros;
    std::string notice;
};

// replay: {"id":N,"ok":true,"posted":K,"triggers":T,"expired":E,"parts":P,"seconds":S}
// and "notice":"..." when there is one.
std::string FormatReplayAnswer(uint64_t id, const SessionReplayCounts& counts);

struct SessionClient {
    uint64_t handle;
    uint32_t mask;
    uint32_t processId;
    std::string name;   // UTF-8
};

// The registered-window list (information text 129), a line per window:
// "HANDLE MASK NAME PID", handle (sign-extended, cut to 32 bits) and mask in
// hex. Lines not of that shape are left out.
std::vector<SessionClient> ParseClientList(const char* list);

// clients: {"id":N,"ok":true,"clients":[{"handle":"000a01b2","mask":"00000200","pid":1234,"name":"corvane"}]}
std::string FormatClientsAnswer(uint64_t id, const std::vector<SessionClient>& clients);

// counters: {"id":N,"ok":true,"counters":{"delivered":20,"posted":10}}
std::string FormatCountersAnswer(uint64_t id, const CounterValues& counters);

// A subscription's message: {"ev":"msg","sub":S,"t":...} (MESSAGE's members).
std::string FormatMessageEvent(uint64_t sub, const std::string& message);
