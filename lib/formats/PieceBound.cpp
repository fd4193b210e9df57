#include "formats/PieceBound.h"

bool StartsNewPiece(const PieceBound& bound, uint64_t heldBytes, uint64_t firstMicros, uint64_t lineBytes,
                    uint64_t micros)
{
    if (heldBytes == 0)
        return false;
    const bool full = bound.bytes != 0 && heldBytes + lineBytes > bound.bytes;
    const bool old = bound.micros != 0 && micros >= firstMicros && micros - firstMicros >= bound.micros;
    return full || old;
}
