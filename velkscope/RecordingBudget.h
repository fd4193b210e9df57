// What the recordings open in one velkscope window may hold together: one
// budget for the whole window, shared. Each recording costs a fixed part
// (its batches in flight, the stretch read again, its index) and its
// summary; the summaries share what the fixed parts leave, so opening a
// recording makes the others' summaries coarser, never the window larger.
// At most kMaxRecordings are open, as a workspace names at most. Pure logic.
#pragma once
#include <stddef.h>

#include <string>

#include "velkscope/Summary.h"
#include "velkscope/Workspace.h"

enum : size_t {
    kMaxRecordings = kMaxWorkspaceRecordings,
    kRecordingsBudgetBytes = 200 << 20,   // every recording's memory together
    kRecordingFixedBytes = 10 << 20,      // each one's besides its summary
};

// The summary budget of each of `recordings` open recordings: its share of
// what the fixed parts leave, halved (a summary's vectors keep room for up
// to twice their buckets), at most kSummaryBudgetBytes.
size_t RecordingSummaryBudget(size_t recordings);

// Whether one more recording may be opened beside `open` ones; false with
// why in *why (UTF-8, a catalogue key).
bool RoomForRecording(size_t open, std::string* why);
