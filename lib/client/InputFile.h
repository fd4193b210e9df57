// Files velkctl reads (send-str --file, replay): a file, or standard input
// for "-", in binary.
#pragma once
#include <stddef.h>
#include <stdio.h>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "formats/SeriesReader.h"

// Opened for reading; NULL after saying on stderr why it cannot be.
FILE* OpenInputFile(const std::string& path);
// Closes what OpenInputFile opened; standard input stays open.
void CloseInputFile(FILE* file);
// How a file is called in "FILE:LINE:" messages: the path (control
// characters escaped), or "standard input".
std::string InputFileName(const std::string& path);
// A path quoted in a message, as common/Escapes.h quotes input, but
// whole up to a long path's length.
const size_t kMaxPathShown = 260;
std::string QuotePath(const std::string& path);

// The whole file, at most maxBytes. Returns kExitOk, or after a message on
// stderr kExitIo when the file cannot be opened or read, kExitUsage when it
// holds more; that message gives tooLargeReason ("the most one message
// carries") as the reason for the limit.
int ReadInputFile(const std::string& path, size_t maxBytes, const char* tooLargeReason, std::string* bytes);
// The same for a window program: what went wrong in *error, nothing printed.
int ReadInputFileTo(const std::string& path, size_t maxBytes, const char* tooLargeReason, std::string* bytes,
                    std::string* error);

// For a window: the whole file a wide path names (a folder name the code
// page cannot hold stays whole), at most maxBytes. kExitOk; kExitIo when it
// cannot be opened or read, kExitUsage when it holds more, with why in
// *error (UTF-8, naming the path); nothing is printed.
int ReadWholeFile(const std::wstring& path, size_t maxBytes, std::string* bytes, std::string* error);

// The files of a recording named on the command line: "-" (standard input),
// a file, or a series of parts by its first part, a glob or its folder
// (formats/SeriesFiles.h). False after saying on stderr why there are none.
bool FindInputRecording(const std::string& path, std::vector<std::string>* files);
// The same with why there are none in *error, nothing printed (a session's answer).
bool FindInputRecording(const std::string& path, std::vector<std::string>* files, std::string* error);
// A reader over them, the parts one after the other on one time axis
// (formats/SeriesReader.h); standard input is read as it comes.
std::unique_ptr<SeriesReader> ReadInputRecording(const std::vector<std::string>& files);

// How a recording's reading ended: says the reader's notice and fault on
// stderr and returns the exit status, kExitOk when every part was good.
int RecordReadStatus(const SeriesReader& reader);

// The one pass the whole-recording readers make (plot, report): every
// message of the recording path names, in order, to add; *start (when not
// null) the recording's start, with whether it says one. The exit status,
// as RecordReadStatus gives it; kExitIo when there is no such recording.
int ReadInputMessages(const std::string& path, const std::function<void(const RecordedMessage&)>& add,
                      WallTime* start = nullptr, bool* startKnown = nullptr);
