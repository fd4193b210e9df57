// One source of messages velkscope shows: a recording, or the bus while it
// runs. A row per code seen (count, latest value and its signals, faults
// counted), and the summary of every trace the codes give
// (velkscope/Summary.h). A message comes in decoded once (ScopeMessage); its
// signals go to the row for the list and to the traces' summaries. Pure logic.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string>
#include <unordered_map>
#include <vector>

#include "chart/TraceValue.h"
#include "formats/RecordLine.h"
#include "protocol/LatestValue.h"
#include "signals/MessageCheck.h"
#include "signals/SignalCodec.h"
#include "signals/SignalDatabase.h"
#include "signals/SignalTraces.h"
#include "velkscope/Summary.h"

enum : size_t {
    kMaxCodes = 1024,          // rows of one source; later new codes are only counted
    kMaxSourceTraces = 4096,   // traces summarised in one source; the codes past it are listed, not drawn
};

// A message on its way through velkscope, decoded once.
struct ScopeMessage {
    RecordedMessage message;                 // micros on the source's own time
    const SignalMessage* known = nullptr;    // the signal file's message for its code; null: none
    std::vector<DecodedSignal> signals;      // known's signals, decoded
};

// The message's signals from the file (none when it lacks the code).
void DecodeScopeMessage(const SignalDatabase* signals, const SignalCodePages& pages, ScopeMessage* message);

// What a trace of a code draws: the signal's index in its message, or
// kRawTrace, the code's own value (a data word, an array's first byte or
// word) or, for a string code, its messages as events.
bool IsEventTrace(uint32_t code, size_t signal);
// The value a message gives its code's trace; false when it gives none (a
// missing field, an array too short). An event's value is 0.
bool TraceValueOfMessage(const ScopeMessage& message, size_t signal, ArrayValue arrayValue, double* value);
// The traces a code has: each drawn signal of its message in the file,
// else the code's own value.
std::vector<size_t> TracesOfCode(uint32_t code, const SignalMessage* known);

// The bad checksums and the counters that skipped or repeated among a code's
// messages so far.
struct FaultCounts {
    uint64_t checksum = 0;   // !crc
    uint64_t counter = 0;    // !cnt

    void Add(const MessageFaults& faults)
    {
        checksum += faults.checksum ? 1 : 0;
        counter += faults.counter ? 1 : 0;
    }
    void Add(const FaultCounts& more)
    {
        checksum += more.checksum;
        counter += more.counter;
    }
};

// The faults of a message of a source, checked in the source's order (one
// MessageChecks per source); none for a code without a counter or checksum.
// An expired payload is not judged: its code's count starts afresh.
MessageFaults CheckScopeMessage(const ScopeMessage& message, MessageChecks* checks);

// A row's marks column, UTF-8: "迟到 late", "!crc 3  !cnt 1", both, or "".
std::string FormatRowMarks(bool late, const FaultCounts& faults);

struct SourceTrace {
    size_t signal;    // kRawTrace or the signal's index
    size_t summary;   // its summary's number; kNoSummary past kMaxSourceTraces
};
const size_t kNoSummary = static_cast<size_t>(-1);

struct SourceRow {
    uint32_t code;
    uint64_t count = 0;
    LatestValue latest;
    std::vector<DecodedSignal> decoded;   // the latest's signals
    int64_t lastMicros = 0;               // when the latest came
    bool changed = true;                  // not shown since its count or value changed
    bool shownLate = false;               // as the list shows it
    FaultCounts faults;
    std::vector<SourceTrace> traces;      // made with the row
};

class SourceData {
public:
    // baseWidth: the summary's first base width (Summary).
    SourceData(const SignalDatabase* signals, ArrayValue arrayValue, size_t budgetBytes = kSummaryBudgetBytes,
               int64_t baseWidth = 1);

    // A message in time order, checked here: its row (new codes past
    // kMaxCodes only counted, -1) and its traces' samples; *inserted tells a
    // new row.
    int Add(const ScopeMessage& message, bool* inserted);
    // A pass's batch comes apart: first each code's latest message, how
    // many came and the faults the pass found among them (its row made when
    // new), then the samples of its traces.
    int NoteLatest(const ScopeMessage& latest, uint64_t count, const FaultCounts& faults, bool* inserted);
    void AddSample(uint32_t code, size_t signal, int64_t micros, double value);
    // Messages of codes past the table, counted only.
    void AddUnlisted(uint64_t count)
    {
        received_ += count;
        unlisted_ += count;
    }

    const std::vector<SourceRow>& Rows() const { return rows_; }
    std::vector<SourceRow>& MutableRows() { return rows_; }
    int RowOf(uint32_t code) const;
    // The summary of a code's trace; kNoSummary when none.
    size_t SummaryOf(uint32_t code, size_t signal) const;
    const Summary& Summaries() const { return summary_; }
    // The summary's budget from now on (Summary::SetBudget).
    void SetBudget(size_t budgetBytes)
    {
        budget_ = budgetBytes;
        summary_.SetBudget(budgetBytes);
    }
    const SignalDatabase* Signals() const { return signals_; }
    ArrayValue Arrays() const { return arrayValue_; }

    uint64_t Received() const { return received_; }
    uint64_t Unlisted() const { return unlisted_; }
    // Empties the counts, faults included, and the summaries; the rows stay,
    // with their values.
    void Clear();
    // Reads by another signal file (null: none) from now on: the summaries
    // and the faults found by the old file are emptied, each row's traces
    // made again and its latest decoded again.
    void Redecode(const SignalDatabase* signals, const SignalCodePages& pages);

private:
    SourceRow* RowFor(const ScopeMessage& message, bool* inserted);

    const SignalDatabase* signals_;
    ArrayValue arrayValue_;
    size_t budget_;
    int64_t baseWidth_;
    std::vector<SourceRow> rows_;
    Summary summary_;
    MessageChecks checks_;                          // of what Add takes (the bus)
    std::unordered_map<uint32_t, size_t> rowOf_;   // code to row, for the samples of a batch; emptied when rows move
    size_t lastRow_ = 0;                            // the row of the last sample (a code's fields come together)
    uint64_t received_ = 0, unlisted_ = 0;
};
