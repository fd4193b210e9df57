// The signal file velkscope reads, from --signals, VELK_SIGNALS or File >
// Open signals...: its mistakes are for a message box, not a console.
#pragma once
#include <string>

#include "signals/SignalDatabase.h"

// A UTF-8 text (the signal file's names and units) for the window.
std::wstring WideFromUtf8(const std::string& text);

// Loads path into *database. False with every mistake, a line each
// ("FILE:LINE:COLUMN: ..."), or why the file cannot be read, in *errors;
// *database is untouched then.
bool ReadSignalFile(const std::wstring& path, SignalDatabase* database, std::wstring* errors);
