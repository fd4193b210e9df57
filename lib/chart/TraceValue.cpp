#include "chart/TraceValue.h"

bool TraceValueOf(MessageKind kind, int32_t value, const std::string& bytes, ArrayValue arrayValue, int32_t* drawn)
{
    if (kind == kValueMessage) {
        *drawn = value;
        return true;
    }
    if (kind != kArrayPayload)
        return false;
    if (arrayValue == kArrayFirstWord) {
        if (bytes.size() < 2)
            return false;
        *drawn = static_cast<unsigned char>(bytes[0]) | static_cast<unsigned char>(bytes[1]) << 8;
        return true;
    }
    if (bytes.empty())
        return false;
    *drawn = static_cast<unsigned char>(bytes[0]);
    return true;
}
