#include "client/InputFile.h"

#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <string.h>

#include <windows.h>

#include "common/Escapes.h"
#include "common/FormatText.h"
#include "client/ExitStatus.h"
#include "client/ProgramMessages.h"
#include "common/Catalogue.h"
#include "windows/FolderNames.h"
#include "windows/WideText.h"

namespace {

// Up to one byte beyond the limit, which tells a file that is too large.
bool ReadUpTo(FILE* file, size_t maxBytes, std::string* bytes)
{
    char chunk[1 << 16];
    size_t got;
    while (bytes->size() <= maxBytes && (got = fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes->append(chunk, got);
    return ferror(file) == 0;
}

std::string Shown(const std::string& path)
{
    return path == "-" ? std::string(N_("standard input")) : QuotePath(path);
}

} // namespace

FILE* OpenInputFile(const std::string& path)
{
    if (path == "-") {
        _setmode(_fileno(stdin), _O_BINARY);   // the bytes as they are: no CR LF translation
        return stdin;
    }
    FILE* file = fopen(path.c_str(), "rb");
    if (file == NULL)
        PrintMessage("velkctl: cannot open %s: %s\n", Shown(path).c_str(), strerror(errno));
    return file;
}

void CloseInputFile(FILE* file)
{
    if (file != NULL && file != stdin)
        fclose(file);
}

std::string InputFileName(const std::string& path)
{
    return path == "-" ? N_("standard input") : EscapeForDisplay(path);
}

int ReadInputFileTo(const std::string& path, size_t maxBytes, const char* tooLargeReason, std::string* bytes,
                    std::string* error)
{
    FILE* file = path == "-" ? OpenInputFile(path) : fopen(path.c_str(), "rb");
    if (file == NULL) {
        *error = FormatText(N_("cannot open %s"), Shown(path).c_str()) + ": " + strerror(errno);
        return kExitIo;
    }
    bytes->clear();
    bool read = ReadUpTo(file, maxBytes, bytes);
    int readError = errno;
    CloseInputFile(file);
    if (!read) {
        *error = FormatText(N_("cannot read %s"), Shown(path).c_str()) + ": " + strerror(readError);
        return kExitIo;
    }
    if (bytes->size() > maxBytes) {
        *error = FormatText(N_("%s holds more than %lu bytes, %s"), Shown(path).c_str(),
                            static_cast<unsigned long>(maxBytes), tooLargeReason);
        return kExitUsage;
    }
    return kExitOk;
}

int ReadWholeFile(const std::wstring& path, size_t maxBytes, std::string* bytes, std::string* error)
{
    const std::string named = Utf8FromWide(path);
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (file == NULL) {
        *error = FormatText(N_("cannot open %s"), QuotePath(named).c_str()) + ": " + strerror(errno);
        return kExitIo;
    }
    bytes->clear();
    bool read = ReadUpTo(file, maxBytes, bytes);
    int readError = errno;
    fclose(file);
    if (!read) {
        *error = FormatText(N_("cannot read %s"), QuotePath(named).c_str()) + ": " + strerror(readError);
        return kExitIo;
    }
    if (bytes->size() > maxBytes) {
        *error = QuotePath(named) + " holds more than " + std::to_string(maxBytes) + " bytes";
        return kExitUsage;
    }
    return kExitOk;
}

int ReadInputFile(const std::string& path, size_t maxBytes, const char* tooLargeReason, std::string* bytes)
{
    std::string error;
    const int status = ReadInputFileTo(path, maxBytes, tooLargeReason, bytes, &error);
    if (status != kExitOk)
        PrintMessage("velkctl: %s\n", error.c_str());
    return status;
}

std::string QuotePath(const std::string& path)
{
    return QuoteInput(path, kMaxPathShown);
}

bool FindInputRecording(const std::string& path, std::vector<std::string>* files, std::string* error)
{
    return FindRecordingFiles(path, WindowsFolders(CP_ACP), files, error);
}

bool FindInputRecording(const std::string& path, std::vector<std::string>* files)
{
    std::string error;
    if (FindInputRecording(path, files, &error))
        return true;
    PrintMessage("velkctl: %s\n", error.c_str());
    return false;
}

std::unique_ptr<SeriesReader> ReadInputRecording(const std::vector<std::string>& files)
{
    if (files.size() == 1 && files[0] == "-") {
        OpenInputFile("-");
        return std::unique_ptr<SeriesReader>(new SeriesReader(stdin, InputFileName("-")));
    }
    return std::unique_ptr<SeriesReader>(new SeriesReader(
        files, [](const std::string& path, std::string* why) { return OpenPartFile(path, CP_ACP, why); },
        InputFileName));
}

int RecordReadStatus(const SeriesReader& reader)
{
    if (!reader.Notice().empty())
        PrintMessage("%s\n", reader.Notice().c_str());
    switch (reader.Outcome()) {
    case kRecordRead:
        return kExitOk;
    case kRecordMalformed:
        PrintMessage("%s\n", reader.Error().c_str());
        return kExitUsage;
    default:
        PrintMessage("velkctl: %s\n", reader.Error().c_str());
        return kExitIo;
    }
}

int ReadInputMessages(const std::string& path, const std::function<void(const RecordedMessage&)>& add,
                      WallTime* start, bool* startKnown)
{
    std::vector<std::string> files;
    if (!FindInputRecording(path, &files))
        return kExitIo;
    std::unique_ptr<SeriesReader> reader = ReadInputRecording(files);
    RecordedMessage message;
    while (reader->Next(&message))
        add(message);
    if (start != nullptr) {
        const bool known = reader->Start(start);
        if (startKnown != nullptr)
            *startKnown = known;
    }
    return RecordReadStatus(*reader);
}
