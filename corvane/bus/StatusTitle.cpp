#include "bus/StatusTitle.h"

const char kConsoleVersion[] = "v1.0-7-gc94d415";
const char kConsoleBuildDate[] = "2024-04-20";

namespace {

const char* OrEmpty(const char* text) { return text != nullptr ? text : ""; }

} // namespace

std::string FormatStatusTitle(const char* libraryVersion, const char* libraryBuild)
{
    // Built by concatenation: the library's texts may be of any length.
    std::string title = "VELK(";
    title += OrEmpty(libraryVersion);
    title += ") Build(";
    title += OrEmpty(libraryBuild);
    title += ") VTOOL(";
    title += kConsoleVersion;
    title += ") Build(";
    title += kConsoleBuildDate;
    title += ")";
    return title;
}
