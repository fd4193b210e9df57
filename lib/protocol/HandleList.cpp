#include "protocol/HandleList.h"

#include <string>

#include "common/HexText.h"

std::vector<uint64_t> EndSessionTargets(const char* list, uint64_t ownHandle, unsigned handleBits)
{
    std::vector<uint64_t> targets;
    if (list == nullptr)
        return targets;

    std::string text;
    for (const char* p = list; *p != '\0'; ++p) {
        if (*p != '\r')
            text += *p;
    }
    const uint64_t handleMask = handleBits >= 64 ? ~0ULL : (1ULL << handleBits) - 1;

    // Every line is looked at, the one after a final newline too (it yields 0).
    size_t lineStart = 0;
    for (;;) {
        uint64_t handle = ParseHexPrefix(text.c_str() + lineStart) & handleMask;
        if (handle != 0 && handle != ownHandle)
            targets.push_back(handle);
        size_t newline = text.find('\n', lineStart);
        if (newline == std::string::npos)
            break;
        lineStart = newline + 1;
    }
    return targets;
}
