#include "velkctl/Simulation.h"

#include <algorithm>
#include <map>

#include "common/Catalogue.h"
#include "common/ClosestWord.h"
#include "common/FormatText.h"
#include "formats/JsonLine.h"
#include "protocol/MessageCode.h"

namespace {

std::string MessageNames(const SignalDatabase& database)
{
    std::string names;
    for (const SignalMessage& message : database.Messages())
        names += (names.empty() ? "" : ", ") + message.name;
    return names;
}

double Millis(double micros)
{
    return micros / 1000.0;
}

} // namespace

Simulation::Simulation(const SignalDatabase& database, TextEncoder gbk)
    : database_(database), gbk_(gbk)
{
}

bool Simulation::Prepare(const std::string& fileName, std::string* error)
{
    const std::vector<SignalMessage>& messages = database_.Messages();
    states_.assign(messages.size(), MessageState());
    refused_.assign(messages.size(), 0);
    error->clear();
    for (size_t i = 0; i < messages.size(); ++i) {
        std::string why;
        if (!states_[i].Start(messages[i], gbk_, &why))
            *error += (error->empty() ? "" : "\n") +
                      FormatText("%s:%d:%d: ", fileName.c_str(), messages[i].line, messages[i].column) +
                      FormatText(N_("init of %s"), why.c_str());
        schedule_.Add(messages[i].periodMicros);
    }
    return error->empty();
}

const SignalMessage* Simulation::FindMessage(const std::string& name, std::string* error) const
{
    const SignalMessage* message = database_.FindMessage(name);
    if (message == nullptr) {
        std::vector<std::string> names;
        for (const SignalMessage& each : database_.Messages())
            names.push_back(each.name);
        const std::string meant = ClosestWord(name, names);
        const std::string missing = FormatText(N_("no message '%s' in the signal file"), name.c_str());
        *error = meant.empty() ? FormatText(N_("%s (it has %s)"), missing.c_str(), MessageNames(database_).c_str())
                               : FormatText(N_("%s (did you mean '%s'?)"), missing.c_str(), meant.c_str());
    }
    return message;
}

size_t Simulation::IndexOf(const SignalMessage* message) const
{
    return static_cast<size_t>(message - database_.Messages().data());
}

bool Simulation::Choose(const std::vector<std::string>& only, const std::vector<std::string>& except,
                        std::string* error)
{
    std::vector<bool> chosen(database_.Messages().size(), only.empty());
    for (const std::string& name : only) {
        const SignalMessage* message = FindMessage(name, error);
        if (message == nullptr)
            return false;
        if (message->periodMicros == 0) {
            *error = FormatText(N_("%s has no period in the signal file: only messages with one are simulated"), name.c_str());
            return false;
        }
        chosen[IndexOf(message)] = true;
    }
    for (const std::string& name : except) {
        const SignalMessage* message = FindMessage(name, error);
        if (message == nullptr)
            return false;
        chosen[IndexOf(message)] = false;
    }
    chosen_.clear();
    for (size_t i = 0; i < chosen.size(); ++i)
        if (chosen[i] && database_.Messages()[i].periodMicros != 0)
            chosen_.push_back(i);
    if (chosen_.empty()) {
        *error = except.empty() ? N_("nothing to simulate: no message of the signal file has a period")
                                : N_("nothing to simulate: every message with a period is left out");
        return false;
    }
    return true;
}

void Simulation::StartChosen(uint64_t now)
{
    // Those of one period spread evenly over it, in the file's order; each
    // period's group shifted by a part of a step, so that groups interleave.
    struct Group { uint64_t count = 0, started = 0, index = 0; };
    std::map<uint64_t, Group> byPeriod;
    for (size_t message : chosen_)
        if (!schedule_.Running(message))
            ++byPeriod[schedule_.Period(message)].count;
    uint64_t groups = 0;
    for (auto& group : byPeriod)
        group.second.index = groups++;
    for (size_t message : chosen_) {
        if (schedule_.Running(message))
            continue;
        const uint64_t period = schedule_.Period(message);
        Group& group = byPeriod[period];
        const uint64_t step = period / group.count;
        schedule_.Start(message, now, step * group.started++ + step * group.index / groups);
    }
    started_ = true;
}

bool Simulation::StartOne(size_t message, uint64_t periodMicros, uint64_t now, std::string* error)
{
    if (periodMicros != 0)
        schedule_.SetPeriod(message, periodMicros, now);
    if (schedule_.Period(message) == 0) {
        *error = FormatText(N_("%s has no period in the signal file: give one, \"period\":\"100ms\""),
                            database_.Messages()[message].name.c_str());
        return false;
    }
    schedule_.Start(message, now, 0);
    return true;
}

std::string Simulation::Describe(size_t message) const
{
    const SignalMessage& described = database_.Messages()[message];
    std::string signals;
    for (const Signal& signal : described.signals)
        signals += (signals.empty() ? "" : ",") + JsonString(signal.name);
    const uint64_t micros = schedule_.Period(message);
    const std::string period = micros == 0 ? "null" : FormatText("%.6f", static_cast<double>(micros) / 1e6);
    return FormatText(",\"code\":\"%08x\",\"kind\":\"%s\",\"period\":%s,\"running\":%s,\"signals\":[",
                      static_cast<unsigned>(described.code), MessageKindName(described.kind), period.c_str(),
                      schedule_.Running(message) ? "true" : "false") + signals + "]";
}

bool Simulation::Send(const SimulationRequest& request, std::vector<RecordedMessage>* sendNow, std::string* error)
{
    const SignalMessage* message = FindMessage(request.message, error);
    if (message == nullptr)
        return false;
    // Set on a copy: a refused value sends nothing and changes nothing.
    MessageState state = states_[IndexOf(message)];
    for (const auto& value : request.values) {
        const Signal* signal = message->kind == kArrayPayload ? message->FindField(value.first)
                               : value.first == "value" || value.first == message->name ? &message->signals.front()
                                                                                         : nullptr;
        if (signal == nullptr) {
            std::vector<std::string> names;
            for (const Signal& field : message->signals)
                names.push_back(field.fieldName);
            const std::string meant = message->kind == kArrayPayload ? ClosestWord(value.first, names) : "value";
            const std::string missing = FormatText(N_("no field '%s'"), value.first.c_str());
            *error = message->name + ": " +
                     (meant.empty() ? missing : FormatText(N_("%s (did you mean '%s'?)"), missing.c_str(), meant.c_str()));
            return false;
        }
        if (!state.Set(*signal, value.second, error))
            return false;
    }
    sendNow->push_back(state.Next());
    states_[IndexOf(message)] = state;
    return true;
}

bool Simulation::Handle(const SimulationRequest& request, uint64_t now, std::string* members,
                        std::vector<RecordedMessage>* sendNow, std::string* error)
{
    members->clear();
    const SignalMessage* message = nullptr;
    if (!request.message.empty() && request.op != kSimulationSend &&
        (message = FindMessage(request.message, error)) == nullptr)
        return false;
    switch (request.op) {
    case kSimulate:
        if (started_) {
            *error = N_("the simulation runs already: start and stop its messages");
            return false;
        }
        if (!Choose(request.only, request.except, error))
            return false;
        StartChosen(now);
        return true;
    case kSimulationSet: {
        SignalRef found = database_.FindSignal(request.signal);
        if (found.signal == nullptr) {
            std::vector<std::string> names;
            for (const SignalMessage& each : database_.Messages())
                for (const Signal& signal : each.signals)
                    names.push_back(signal.name);
            const std::string meant = ClosestWord(request.signal, names);
            const std::string missing = FormatText(N_("no signal '%s' in the signal file"), request.signal.c_str());
            *error = meant.empty() ? missing : FormatText(N_("%s (did you mean '%s'?)"), missing.c_str(), meant.c_str());
            return false;
        }
        return states_[IndexOf(found.message)].Set(*found.signal, request.value, error);
    }
    case kSimulationStart:
        if (message != nullptr)
            return StartOne(IndexOf(message), request.periodMicros, now, error);
        if (request.periodMicros != 0) {
            *error = N_("\"period\" goes with a \"message\"");
            return false;
        }
        if (chosen_.empty() && !Choose({}, {}, error))
            return false;
        StartChosen(now);
        return true;
    case kSimulationStop:
        for (size_t i = 0; i < states_.size(); ++i)
            if (message == nullptr || i == IndexOf(message))
                schedule_.Stop(i);
        return true;
    case kSimulationPeriod:
        schedule_.SetPeriod(IndexOf(message), request.periodMicros, now);
        return true;
    case kSimulationSend:
        return Send(request, sendNow, error);
    case kSimulationDescribe:
        *members = Describe(IndexOf(message));
        return true;
    }
    return true;
}

RecordedMessage Simulation::TakeDue(uint64_t now, size_t* message)
{
    uint64_t deadline = 0;
    schedule_.Next(&due_, &deadline);
    *message = due_;
    RecordedMessage sent = states_[due_].Next();
    schedule_.Sent(due_, now);
    return sent;
}

std::vector<std::string> Simulation::Summary() const
{
    std::vector<size_t> sent;
    uint64_t sends = 0, overruns = 0, refused = 0, timed = 0, latenessMax = 0;
    double latenessSum = 0;
    for (size_t i = 0; i < states_.size(); ++i) {
        const SendTiming& timing = schedule_.Timing(i);
        if (timing.sent == 0)
            continue;
        sent.push_back(i);
        sends += timing.sent;
        overruns += timing.overruns;
        refused += refused_[i];
        timed += timing.lateness.Count();
        latenessSum += timing.lateness.MeanMicros() * static_cast<double>(timing.lateness.Count());
        latenessMax = std::max(latenessMax, timing.lateness.MaxMicros());
    }
    std::vector<std::string> lines;
    if (sent.size() > kSummaryMessages) {
        // Many messages: the totals, then the worst few, so that the end of a run stays short.
        lines.push_back(FormatText(N_("all %zu messages: sent %llu, overruns %llu, refused %llu, period error mean %.2f ms, max %.2f ms"),
                                   sent.size(), static_cast<unsigned long long>(sends),
                                   static_cast<unsigned long long>(overruns), static_cast<unsigned long long>(refused),
                                   Millis(timed == 0 ? 0 : latenessSum / static_cast<double>(timed)),
                                   Millis(static_cast<double>(latenessMax))));
        lines.push_back(FormatText(N_("the worst %d, by overruns and refusals, then p99:"), static_cast<int>(kSummaryMessages)));
        std::partial_sort(sent.begin(), sent.begin() + kSummaryMessages, sent.end(), [this](size_t a, size_t b) {
            const SendTiming& x = schedule_.Timing(a);
            const SendTiming& y = schedule_.Timing(b);
            if (x.overruns + refused_[a] != y.overruns + refused_[b])
                return x.overruns + refused_[a] > y.overruns + refused_[b];
            if (x.lateness.PercentileMicros(0.99) != y.lateness.PercentileMicros(0.99))
                return x.lateness.PercentileMicros(0.99) > y.lateness.PercentileMicros(0.99);
            return a < b;
        });
        sent.resize(kSummaryMessages);
    }
    size_t width = 0;
    for (size_t i : sent)
        width = std::max(width, database_.Messages()[i].name.size());
    for (size_t i : sent) {
        const SendTiming& timing = schedule_.Timing(i);
        std::string line = FormatText(N_("sent %llu, overruns %llu, period error mean %.2f ms, p99 %.2f ms, max %.2f ms"),
                                      static_cast<unsigned long long>(timing.sent),
                                      static_cast<unsigned long long>(timing.overruns),
                                      Millis(timing.lateness.MeanMicros()),
                                      Millis(static_cast<double>(timing.lateness.PercentileMicros(0.99))),
                                      Millis(static_cast<double>(timing.lateness.MaxMicros())));
        if (refused_[i] != 0)
            line = FormatText(N_("%s, refused %llu"), line.c_str(), static_cast<unsigned long long>(refused_[i]));
        // The names in a column of their own: the catalogue translates what follows the blanks.
        lines.push_back(FormatText("%-*s  ", static_cast<int>(width), database_.Messages()[i].name.c_str()) + line);
    }
    return lines;
}
