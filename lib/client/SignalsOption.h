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
// The same for a window program: the mistakes (or why the file cannot be
// read) a line each in *errors, UTF-8, nothing printed.
int LoadSignalsFileTo(const std::string& file, SignalDatabase* database, std::vector<std::string>* errors);

// GBK and UTF-8 as Windows decodes them, for DecodeMessage.
SignalCodePages WindowsSignalCodePages();
