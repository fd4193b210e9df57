#include "signals/MessageCheck.h"

#include "common/FormatText.h"
#include "signals/MessageState.h"

namespace {

std::string Number(bool known, uint64_t value)
{
    return known ? FormatText("%llu", static_cast<unsigned long long>(value)) : std::string("null");
}

} // namespace

bool HasChecks(const SignalMessage& message)
{
    return message.counterIndex >= 0 || message.checksumIndex >= 0;
}

MessageFaults MessageChecks::Check(const SignalMessage& message, int32_t value, const std::string& bytes)
{
    MessageFaults faults;
    if (message.checksumIndex >= 0) {
        const Signal& field = message.signals[static_cast<size_t>(message.checksumIndex)];
        uint64_t got = 0;
        faults.checksumKnown = ReadFieldBits(field, bytes, &got);
        faults.checksumWanted = ComputeMessageChecksum(field, bytes, &faults.checksumWant);
        faults.checksumGot = static_cast<uint32_t>(got);
        faults.checksum = !faults.checksumKnown || !faults.checksumWanted || faults.checksumGot != faults.checksumWant;
    }
    if (message.counterIndex >= 0) {
        const Signal& counter = message.signals[static_cast<size_t>(message.counterIndex)];
        uint64_t got = static_cast<uint32_t>(value);
        if (message.kind != kValueMessage && !ReadFieldBits(counter, bytes, &got))
            return faults;
        const uint64_t mask = counter.bits >= 64 ? ~0ULL : (1ULL << counter.bits) - 1;
        auto last = last_.emplace(message.code, got);
        if (!last.second) {
            faults.counterGot = got;
            faults.counterWant = (last.first->second + 1) & mask;
            faults.counter = got != faults.counterWant;
            last.first->second = got;
        }
    }
    return faults;
}

std::string FormatFaultMarks(const MessageFaults& faults)
{
    if (faults.checksum && faults.counter)
        return "!crc !cnt";
    return faults.checksum ? "!crc" : faults.counter ? "!cnt" : "";
}

std::string FormatFaultsJson(const MessageFaults& faults)
{
    std::string json;
    if (faults.checksum)
        json += "\"crc\":{\"got\":" + Number(faults.checksumKnown, faults.checksumGot) +
                ",\"want\":" + Number(faults.checksumWanted, faults.checksumWant) + "}";
    if (faults.counter)
        json += std::string(json.empty() ? "" : ",") + FormatText("\"cnt\":{\"got\":%llu,\"want\":%llu}",
                                                                   static_cast<unsigned long long>(faults.counterGot),
                                                                   static_cast<unsigned long long>(faults.counterWant));
    return "{" + json + "}";
}
