// What record --trigger writes beside the record lines: the numbered names
// of --retrigger's files and the comment lines that mark a file's trigger.
// Every reader of recordings skips comments, so the files stay recordings.
// Pure logic.
#pragma once
#include <stdint.h>
#include <string>

#include "formats/RecordLine.h"   // kTriggerMark, the line just before the trigger's own message

// After the header when the ring's cap pushed out messages of the pre-window.
extern const char kTriggerCutNote[];

// File number of path: its stem, "-number", then its extension (the part
// from the name's last dot, not a folder's): rec.txt -> rec-2.txt,
// logs.d/rec -> logs.d/rec-2, .rec -> .rec-2; of the name Windows makes of
// it: rec. -> rec-2.
std::string NumberedRecordPath(const std::string& path, unsigned number);

// "# triggered by 20000801 gt 1500 at 12.345678 (file 1; pre 5.000000 s, post 5.000000 s)":
// the line after the start line, times from the recording's start.
std::string FormatTriggerHeader(const std::string& predicate, unsigned number, uint64_t triggerMicros,
                                uint64_t preMicros, uint64_t postMicros);
