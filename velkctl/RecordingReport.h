// velkctl report: what a recording holds, gathered in one pass in bounded
// memory. Per code its count, its longest gap and the gaps longer than three
// of its periods, its !crc and !cnt; per signal of the signal file its
// smallest, largest and mean value, the values beyond its min or max, its
// enum's transitions, and a small chart of the whole run (the min/max
// columns of chart/PlotChart.h, as velkctl plot draws). Every list is
// bounded: past its room only counted. Pure logic.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string>
#include <unordered_map>
#include <vector>

#include "chart/PlotChart.h"
#include "formats/RecordLine.h"
#include "signals/MessageCheck.h"
#include "signals/SignalCodec.h"
#include "signals/SignalTraces.h"

enum : size_t {
    kReportListed = 10,        // gaps, violations listed per code or signal; the rest counted
    kReportCodes = 4096,       // codes reported one by one; messages of later ones only counted
    kReportPlots = 64,         // signals drawn; later ones summed but not drawn
    kReportTransitions = 16,   // distinct enum transitions listed per signal; the rest counted
};

// A stretch without a message of the code: [from, from + length).
struct ReportGap {
    uint64_t fromMicros, lengthMicros;
};

struct CodeReport {
    uint32_t code = 0;
    const SignalMessage* message = nullptr;   // null: the signal file lacks it
    uint64_t count = 0;
    uint64_t firstMicros = 0, lastMicros = 0;
    ReportGap longest = {};                   // lengthMicros 0: fewer than two messages
    uint64_t periodMicros = 0;                // the signal file's; 0: none, no gaps listed
    uint64_t longGaps = 0;                    // gaps longer than three periods
    std::vector<ReportGap> gaps;              // the first kReportListed of them
    uint64_t checksumFaults = 0, counterFaults = 0;   // !crc, !cnt
    uint64_t firstChecksumFault = 0, firstCounterFault = 0;
};

struct ReportValue {
    uint64_t micros;
    double value;
};

struct EnumTransition {
    int64_t from, to;
    uint64_t count;
};

struct SignalReport {
    const SignalMessage* message = nullptr;
    const Signal* signal = nullptr;
    size_t index = 0;                         // in the message's signals
    uint64_t count = 0;
    double min = 0, max = 0, sum = 0;
    uint64_t violations = 0;                  // values beyond min or max
    std::vector<ReportValue> violationList;   // the first kReportListed
    uint64_t transitions = 0;                 // enum signals: changes of raw value
    std::vector<EnumTransition> transitionList;   // at most kReportTransitions kinds, in the order first seen
    bool hasLast = false;
    int64_t lastRaw = 0;
    size_t plot = kRawTrace;                  // its trace in the chart; kRawTrace: not drawn

    double Mean() const { return count == 0 ? 0 : sum / static_cast<double>(count); }
};

class RecordingReport {
public:
    // signals must outlive the report; pages decode its text fields.
    RecordingReport(const SignalDatabase& signals, const SignalCodePages& pages);

    // A message of the recording, in file order.
    void Add(const RecordedMessage& message);

    uint64_t Messages() const { return messages_; }
    uint64_t FirstMicros() const { return first_; }
    uint64_t LastMicros() const { return last_; }
    const std::vector<CodeReport>& Codes() const { return codes_; }   // in the order they first came
    uint64_t UnlistedMessages() const { return unlisted_; }           // of codes past kReportCodes
    const std::vector<SignalReport>& Signals() const { return signals_; }   // in the file's order
    size_t UndrawnSignals() const { return undrawn_; }                // past kReportPlots
    // One chart per drawn signal, all on the recording's time axis.
    std::vector<SvgChart> Charts() const;

private:
    // What a code's messages need: its report, its message in the signal
    // file, its first signal; found through a small cache in front of the
    // map, as a recording holds few codes and every message asks.
    struct CodeEntry {
        size_t report = 0;                      // in codes_
        const SignalMessage* known = nullptr;
        size_t firstSignal = kRawTrace;         // in signals_; kRawTrace: none drawn
    };
    // Null for a code past the first kReportCodes: the map stays bounded.
    CodeEntry* EntryOf(uint32_t code);
    void AddSignals(const CodeEntry& entry, const RecordedMessage& message);
    static void AddTransition(SignalReport* report, int64_t raw);

    const SignalDatabase& database_;
    SignalCodePages pages_;
    MessageChecks checks_;
    std::vector<CodeReport> codes_;
    std::unordered_map<uint32_t, CodeEntry> entries_;
    struct Cached { uint32_t code; CodeEntry* entry; };
    Cached cache_[64] = {};
    std::vector<SignalReport> signals_;
    std::unordered_map<uint32_t, size_t> firstSignal_;   // by code: its first entry in signals_
    std::vector<DecodedSignal> decoded_;
    PlotCollector plot_;
    size_t undrawn_ = 0;
    uint64_t messages_ = 0, unlisted_ = 0, first_ = 0, last_ = 0;
};
