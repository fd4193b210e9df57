// What velkscope's window reads a recording through: the files a name
// stands for (a file, or a series of parts by its first part, a glob or its
// folder: formats/SeriesFiles.h), and a reader over them as one recording
// (formats/SeriesReader.h). Paths are UTF-8; each part is opened when it is
// reached, so a long series holds one file open.
#pragma once
#include <stdint.h>

#include <memory>
#include <string>
#include <vector>

#include "formats/SeriesReader.h"

// The parts path names, in order; false with why in *error (UTF-8).
bool FindScopeRecording(const std::wstring& path, std::vector<std::string>* parts, std::string* error);
// A reader over them; messages call each part by its file's name.
std::unique_ptr<SeriesReader> ReadScopeRecording(const std::vector<std::string>& parts);
// Their bytes together, as far as they can be told.
uint64_t ScopeRecordingBytes(const std::vector<std::string>& parts);
