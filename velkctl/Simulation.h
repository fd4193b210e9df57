// The rest of the rig, simulated from a signal file: every message with a
// period sent on its own schedule (formats/SendSchedule.h) from a message
// state (signals/MessageState.h) that requests change while it runs
// (velkctl/SimulationRequest.h). velkctl simulate's engine and the session's.
// Pure logic on the caller's clock, in microseconds: the caller posts what
// it is handed and says when.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string>
#include <vector>

#include "formats/RecordLine.h"
#include "formats/SendSchedule.h"
#include "signals/MessageState.h"
#include "velkctl/SimulationRequest.h"

class Simulation {
public:
    // database must outlive the simulation; gbk encodes the text of gbk
    // signals (null: ASCII only).
    Simulation(const SignalDatabase& database, TextEncoder gbk);

    // Every message at its init values. False with "FILE:LINE:COLUMN:
    // NAME: why" lines in *error for each init that cannot be encoded.
    bool Prepare(const std::string& fileName, std::string* error);

    // The messages to simulate, by name: those named in only, else every one
    // with a period but those in except. False with why for a name the file
    // lacks, a message without a period in only, or nothing left.
    bool Choose(const std::vector<std::string>& only, const std::vector<std::string>& except, std::string* error);
    // The chosen messages sent from now on, each of a period at its own
    // phase of it, so that they do not all go in one burst.
    void StartChosen(uint64_t now);
    bool Started() const { return started_; }
    const std::vector<size_t>& Chosen() const { return chosen_; }

    // A request at now: true with the answer's members (empty or from a
    // comma) in *members and any message it sends at once in *sendNow;
    // false with why.
    bool Handle(const SimulationRequest& request, uint64_t now, std::string* members,
                std::vector<RecordedMessage>* sendNow, std::string* error);

    // When the first message is due; false when none runs.
    bool NextDue(uint64_t* deadline) { return schedule_.Next(&due_, deadline); }
    // The message due first, to be posted now, its schedule moved on; the
    // index of its message, for Refused.
    RecordedMessage TakeDue(uint64_t now, size_t* message);
    // The bus refused the post of a message TakeDue handed out.
    void Refused(size_t message) { ++refused_[message]; }

    // The closing summary: a line per message that was sent periodically,
    // "motor.speed  sent 600, overruns 0, period error mean 0.05 ms, p99 0.40 ms, max 1.20 ms";
    // past kSummaryMessages of them, a line of totals and the lines of the
    // worst kSummaryMessages (most overruns and refusals, then highest p99).
    enum { kSummaryMessages = 10 };
    std::vector<std::string> Summary() const;

private:
    const SignalMessage* FindMessage(const std::string& name, std::string* error) const;
    bool StartOne(size_t message, uint64_t periodMicros, uint64_t now, std::string* error);
    bool Send(const SimulationRequest& request, std::vector<RecordedMessage>* sendNow, std::string* error);
    std::string Describe(size_t message) const;
    size_t IndexOf(const SignalMessage* message) const;

    const SignalDatabase& database_;
    TextEncoder gbk_;
    std::vector<MessageState> states_;     // by the file's order of messages
    std::vector<uint64_t> refused_;
    SendSchedule schedule_;                // one task per message, its index
    std::vector<size_t> chosen_;
    bool started_ = false;
    size_t due_ = 0;
};
