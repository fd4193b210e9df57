// The registered-window list (information text 129) walked for the session
// broadcast. Pure logic.
#pragma once
#include <stdint.h>
#include <vector>

// Handles to send the end of session to, in list order: carriage returns are
// removed, each line's hex prefix is cut to handleBits (32 or 64), and 0 and
// ownHandle are skipped. A handle listed twice is returned twice.
std::vector<uint64_t> EndSessionTargets(const char* list, uint64_t ownHandle, unsigned handleBits);
