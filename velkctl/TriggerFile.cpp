#include "velkctl/TriggerFile.h"

#include "common/Escapes.h"
#include "common/FileName.h"
#include "common/FormatText.h"
#include "formats/RecordLine.h"

const char kTriggerCutNote[] = "# the ring was full: this file starts after its pre-window did";

std::string NumberedRecordPath(const std::string& given, unsigned number)
{
    const std::string path = FileNameAsMade(given);   // "rec." is "rec": numbered "rec-2", not "rec-2."
    const size_t folder = path.find_last_of("/\\:");
    const size_t name = folder == std::string::npos ? 0 : folder + 1;
    size_t dot = path.rfind('.');
    // A dot that starts the name (.rec) or sits in a folder is no extension.
    if (dot == std::string::npos || dot <= name)
        dot = path.size();
    return path.substr(0, dot) + FormatText("-%u", number) + path.substr(dot);
}

std::string FormatTriggerHeader(const std::string& predicate, unsigned number, uint64_t triggerMicros,
                                uint64_t preMicros, uint64_t postMicros)
{
    // Escaped: no byte of the predicate may end the comment line.
    return "# triggered by " + EscapeForDisplay(predicate) + " at " + FormatSeconds(triggerMicros) +
           FormatText(" (file %u; pre %s s, post %s s)", number, FormatSeconds(preMicros).c_str(),
                      FormatSeconds(postMicros).c_str());
}
