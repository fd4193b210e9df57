// velkctl top: one row per code seen, the "sniffer" view of CAN tools. A
// message only updates its row and marks it; each interval's end turns the
// counts into rates, keeps a change marked for one interval, and counts the
// intervals a code has been silent. Pure logic.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string>
#include <vector>

#include "common/Escapes.h"
#include "protocol/LatestValue.h"
#include "signals/LateGaps.h"

enum : size_t {
    kTopMaxCodes = 4096,      // rows kept; later new codes are only counted
    kTopSilentIntervals = 10, // a row silent this many intervals is dimmed
};

enum TopMark {
    kTopPlain,
    kTopChanged,   // its value changed in the last interval: highlighted, '*' in plain text
    kTopSilent,    // silent for kTopSilentIntervals: dimmed, '.' in plain text
    kTopBeyondLimit,   // a signal beyond its min or max: '!' in plain text
    kTopLate,      // an interval longer than twice the signal file's period, now or in the last interval: '~' in plain text
    kTopFaulty,    // a bad checksum or a counter that skipped in the last interval: '!', then "!crc" or "!cnt"
};

// One signal of a row's latest value, as a signal file names it.
struct TopSignalCell {
    std::string name;      // "motor.speed", "pump.status.pressure"
    std::string value;     // "148.25 rpm", "RUNNING"
    bool beyondLimit;
};

// What a signal file makes of the rows (velkctl/TopSignalCells.h).
class TopSignals {
public:
    virtual ~TopSignals() {}
    // The latest value's signals into *cells; false for a code the file
    // lacks, whose raw value shows as without a file.
    virtual bool Cells(uint32_t code, const LatestValue& latest, std::vector<TopSignalCell>* cells) const = 0;
    // The cycle the file expects code in; 0 for none.
    virtual uint64_t PeriodMicros(uint32_t code) const = 0;
    // A received message's checksum and counter checked (every message, in
    // order): kTopBadChecksum and kTopBadCounter as they fail; 0 for none.
    virtual unsigned Faults(uint32_t, const LatestValue&) const { return 0; }
};

enum : unsigned { kTopBadChecksum = 1, kTopBadCounter = 2 };

// The columns a width makes room for. The value of a signal keeps its room
// and the name gives way, down to kTopMinNameWidth; below that DIR, then
// TYPE, then CH are left out, in that order, until the name has it.
struct TopColumns {
    bool direction = true, type = true, channel = true;
    size_t nameWidth = 0;   // 0: no NAME column
};
enum : size_t {
    kTopMaxNameWidth = 32,   // a longer name is always cut
    kTopMinNameWidth = 12,
    kTopMaxValueRoom = 20,   // the room a value keeps at most; a longer one is cut first
};
// nameWant: the longest name shown (0: no NAME column); valueWant: the
// longest value.
TopColumns ChooseTopColumns(size_t width, size_t nameWant, size_t valueWant);

struct TopLine {
    std::string text;
    TopMark mark;
};

class TopTable {
public:
    // A message received at micros (any clock, never going back).
    void Receive(uint32_t code, uint64_t micros, const LatestValue& message);
    // The interval that ended at micros, intervalMicros long: its counts
    // become the rates, its changes the marks.
    void EndInterval(uint64_t micros, uint64_t intervalMicros);
    // Counts, rates and late gaps back to 0; the rows and their values stay.
    void ClearCounts();
    void SortByRate(bool byRate) { byRate_ = byRate; }
    // With signals (which must outlive the table) the heads gain NAME and a
    // named code shows one line per signal, the code's columns on its first.
    void UseSignals(const TopSignals* signals) { signals_ = signals; }
    bool SortedByRate() const { return byRate_; }

    size_t Codes() const { return rows_.size(); }
    uint64_t Unlisted() const { return unlisted_; }

    // The column heads, then one line per row in the chosen order, each at
    // most width bytes in the columns ChooseTopColumns leaves (the value cut
    // to what is left, whole characters only); at most maxRows lines after
    // the heads. A code that came late has "~N" after its first value, N its
    // late gaps. now: for the ages, on Receive's clock.
    std::vector<TopLine> Format(size_t width, size_t maxRows, uint64_t now, LeadByteTest isLeadByte) const;

private:
    struct Row {
        uint32_t code;
        uint64_t count = 0;
        uint64_t inInterval = 0;
        double rate = 0;
        LatestValue latest;
        uint64_t lastMicros = 0;
        bool changing = true;      // changed in the interval running
        bool changed = false;      // changed in the last one
        unsigned faulting = 0;     // kTopBadChecksum, kTopBadCounter in the interval running
        unsigned faulted = 0;      // in the last one
        uint64_t silent = 0;       // intervals without a message since the last
        LateGaps gaps;             // counted since the counts were last cleared
        bool lating = false;       // a late gap ended in the interval running
        bool lated = false;        // in the last one
    };

    TopMark MarkOf(const Row& row, uint64_t now) const;

    std::vector<Row> rows_;        // sorted by code
    uint64_t unlisted_ = 0;
    bool byRate_ = false;
    const TopSignals* signals_ = nullptr;
};

// "RV+WV" for Read Value and Write Value: the initials of the DIR words.
std::string DirectionInitials(uint32_t code);
