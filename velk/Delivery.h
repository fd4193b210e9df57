// vPostData's work: store the payload, route by mask, post once per receiver,
// count the outcome.
#pragma once
#include <windows.h>

#include "velk/SharedBus.h"

// Returns the number of windows delivered to, or a negative VelkResult.
int PostBusData(SharedBus* bus, UINT code, LPARAM dataWord, int length);

#ifdef VELK_TEST_SEAMS
// The seam for tests: the next count posts fail as on a full queue.
void FailNextPosts(int count);
#endif
