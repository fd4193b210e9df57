// --signals FILE, or the file VELK_SIGNALS names: the signal file every
// program can take. Without either the programs show raw values as always.
#pragma once
#include <string>
#include <vector>

#include "signals/SignalCodec.h"
#include "signals/SignalDatabase.h"

// The file to load: given (the option's text) when not empty, else
// VELK_SIGNALS, else none (an empty text).
std::string SignalsFileToLoad(const std::string& given);

// Loads file into *database (file empty: nothing loaded, *database stays
// empty). Returns kExitOk, or after every mistake on stderr as
// FILE:LINE:COLUMN: ... kExitUsage (kExitIo when the file cannot be read).
int LoadSignalsFile(const std::string& file, SignalDatabase* database);

// The same for a window: the file named by given, else by VELK_SIGNALS
// (read wide), else none.
std::wstring SignalsFileToLoad(const std::wstring& given);
// Loads path into *database, printing nothing: kExitOk, or with every
// mistake (FILE:LINE:COLUMN: ..., UTF-8) or why the file cannot be read in
// *errors kExitUsage or kExitIo; *database is untouched then.
int ReadSignalsFile(const std::wstring& path, SignalDatabase* database, std::vector<std::string>* errors);

// GBK and UTF-8 as Windows decodes them, for DecodeMessage.
SignalCodePages WindowsSignalCodePages();
