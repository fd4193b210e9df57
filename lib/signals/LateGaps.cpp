#include "signals/LateGaps.h"

bool LateInterval(uint64_t fromMicros, uint64_t toMicros, uint64_t periodMicros)
{
    return periodMicros != 0 && toMicros > fromMicros && toMicros - fromMicros > 2 * periodMicros;
}

bool LateGaps::Receive(uint64_t micros, uint64_t periodMicros, uint64_t* gapMicros)
{
    const bool late = heard_ && LateInterval(last_, micros, periodMicros);
    if (late && gapMicros != nullptr)
        *gapMicros = micros - last_;
    heard_ = true;
    last_ = micros;
    count_ += late ? 1 : 0;
    return late;
}
