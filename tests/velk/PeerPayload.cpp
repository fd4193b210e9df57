#include "tests/velk/PeerPayload.h"

#include <stdio.h>
#include <string.h>

namespace {

char FillOf(unsigned number)
{
    return static_cast<char>('a' + number % 26);
}

} // namespace

std::string MakePeerPayload(unsigned number)
{
    char head[32];
    int headLength = snprintf(head, sizeof head, "payload %06u ", number % 1000000u);
    std::string payload(head, static_cast<size_t>(headLength));
    payload.resize(kPeerPayloadBytes, FillOf(number));
    return payload;
}

bool IsPeerPayload(const char* bytes, int length)
{
    unsigned number = 0;
    if (length != kPeerPayloadBytes || bytes[length] != '\0' || sscanf(bytes, "payload %6u ", &number) != 1)
        return false;
    return MakePeerPayload(number) == std::string(bytes, static_cast<size_t>(length));
}
