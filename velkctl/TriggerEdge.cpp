#include "velkctl/TriggerEdge.h"

bool TriggerEdge::Fires(uint32_t code, bool holds)
{
    if (!CodeMatches(codes_, code))
        return false;
    const bool fires = holds && (level_ || !held_);
    held_ = holds;
    return fires;
}
