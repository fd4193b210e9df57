#include "velkpanel/PanelLamp.h"

bool PanelLamp::Receive(const RecordedMessage& message)
{
    if (!CodeMatches(condition_.pattern, message.code) || message.expired)
        return false;
    const bool on = evaluator_.Holds(message);
    const bool changed = on != on_;
    on_ = on;
    return changed;
}
