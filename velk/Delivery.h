// vPostData's work: store the payload, route by mask, post once per receiver,
// count the outcome.
#pragma once
#include <windows.h>

#include "velk/SharedBus.h"

// Returns the number of windows delivered to, or a negative VelkResult.
// sender is the posting window's bits, for the receivers that opted out of
// their own messages.
int PostBusData(SharedBus* bus, uint32_t sender, UINT code, LPARAM dataWord, int length);

#ifdef VELK_TEST_SEAMS
// The seam for tests: the next count posts fail as on a full queue.
void FailNextPosts(int count);
#endif
