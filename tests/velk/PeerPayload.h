// Payloads that describe themselves, so a receiver in another process can
// tell an intact one from a torn or mixed-up one. Pure logic.
#pragma once
#include <string>

enum { kPeerPayloadBytes = 64 };

// "payload 000042 " and a fill character that depends on the number, 64 bytes.
std::string MakePeerPayload(unsigned number);
bool IsPeerPayload(const char* bytes, int length);
