#include "velkscope/RecordingBudget.h"

#include <algorithm>

#include "common/Catalogue.h"
#include "common/FormatText.h"

size_t RecordingSummaryBudget(size_t recordings)
{
    recordings = std::min<size_t>(std::max<size_t>(recordings, 1), kMaxRecordings);
    const size_t shared = kRecordingsBudgetBytes - recordings * kRecordingFixedBytes;
    return std::min<size_t>(shared / recordings / 2, kSummaryBudgetBytes);
}

bool RoomForRecording(size_t open, std::string* why)
{
    if (open < kMaxRecordings)
        return true;
    *why = FormatText(N_("at most %d recordings are opened at once"), static_cast<int>(kMaxRecordings));
    return false;
}
