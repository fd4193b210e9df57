#include "velkctl/TopSignalCells.h"

#include "signals/SignalText.h"

bool TopSignalCells::Cells(uint32_t code, const LatestValue& latest, std::vector<TopSignalCell>* cells) const
{
    cells->clear();
    const SignalMessage* message = database_.FindCode(code);
    if (message == nullptr || latest.expired)
        return false;
    DecodeMessage(*message, latest.value, latest.bytes, pages_, &decoded_);
    for (const DecodedSignal& decoded : decoded_) {
        if (!decoded.unselected)
            cells->push_back({ Shown(decoded.signal->name), Shown(FormatSignalValue(decoded)),
                               decoded.belowMin || decoded.aboveMax });
    }
    return true;
}

uint64_t TopSignalCells::PeriodMicros(uint32_t code) const
{
    const SignalMessage* message = database_.FindCode(code);
    return message != nullptr ? message->periodMicros : 0;
}

unsigned TopSignalCells::Faults(uint32_t code, const LatestValue& latest) const
{
    const SignalMessage* message = database_.FindCode(code);
    if (message == nullptr || !HasChecks(*message))
        return 0;
    if (latest.expired) {
        checks_.Forget(code);
        return 0;
    }
    const MessageFaults faults = checks_.Check(*message, latest.value, latest.bytes);
    const bool cut = latest.length > static_cast<int32_t>(latest.bytes.size());
    const bool judged = !cut || (faults.checksumKnown && faults.checksumWanted);
    return (faults.checksum && judged ? static_cast<unsigned>(kTopBadChecksum) : 0u) |
           (faults.counter ? static_cast<unsigned>(kTopBadCounter) : 0u);
}
