// The window title shown while a bus library is bound. Pure logic.
#pragma once
#include <string>

extern const char kConsoleVersion[];     // "v1.0-7-gc94d415"
extern const char kConsoleBuildDate[];   // "2024-04-20"

// "VELK(<version>) Build(<build>) VTOOL(<console version>) Build(<console date>)".
// A null library text counts as empty.
std::string FormatStatusTitle(const char* libraryVersion, const char* libraryBuild);
