#include "signals/SignalTraces.h"

#include <math.h>

#include "common/ClosestWord.h"
#include "common/Catalogue.h"
#include "common/FormatText.h"

bool IsDrawnSignal(const Signal& signal)
{
    return signal.type != kSignalStr;
}

void AddMessageTraces(const SignalMessage& message, std::vector<SignalTraceRef>* traces)
{
    for (size_t i = 0; i < message.signals.size(); ++i) {
        if (IsDrawnSignal(message.signals[i]))
            traces->push_back({ message.code, i });
    }
}

bool FindSignalTraces(const SignalDatabase& database, const std::vector<std::string>& names,
                      std::vector<SignalTraceRef>* traces, std::string* error)
{
    for (const std::string& name : names) {
        SignalRef found = database.FindSignal(name);
        if (found.signal != nullptr) {
            if (!IsDrawnSignal(*found.signal)) {
                *error = FormatText(N_("signal '%s' is text: it has no value to draw"), name.c_str());
                return false;
            }
            traces->push_back({ found.message->code, static_cast<size_t>(found.signal - found.message->signals.data()) });
            continue;
        }
        const SignalMessage* message = database.FindMessage(name);
        size_t before = traces->size();
        if (message != nullptr)
            AddMessageTraces(*message, traces);
        if (message != nullptr && traces->size() > before)
            continue;
        if (message != nullptr) {
            *error = FormatText(N_("message '%s' holds only text: it has no value to draw"), name.c_str());
            return false;
        }
        std::vector<std::string> candidates;
        for (const SignalMessage& each : database.Messages()) {
            candidates.push_back(each.name);
            for (const Signal& signal : each.signals)
                candidates.push_back(signal.name);
        }
        const std::string meant = ClosestWord(name, candidates);
        *error = FormatText(N_("no signal '%s' in the signal file"), name.c_str()) +
                 (meant.empty() ? "" : "; " + FormatText(N_("did you mean '%s'?"), meant.c_str()));
        return false;
    }
    return true;
}

const Signal* TraceSignal(const SignalDatabase& database, const SignalTraceRef& trace)
{
    const SignalMessage* message = trace.index == kRawTrace ? nullptr : database.FindCode(trace.code);
    return message != nullptr && trace.index < message->signals.size() ? &message->signals[trace.index] : nullptr;
}

bool DrawnValue(const std::vector<DecodedSignal>& signals, size_t index, double* value)
{
    if (index >= signals.size() || signals[index].missing || signals[index].isText || !isfinite(signals[index].physical))
        return false;
    *value = signals[index].physical;
    return true;
}
