#include "client/InputFile.h"

#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <string.h>

#include "common/Escapes.h"
#include "client/ExitStatus.h"

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
    return path == "-" ? std::string("standard input") : QuotePath(path);
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
        fprintf(stderr, "velkctl: cannot open %s: %s\n", Shown(path).c_str(), strerror(errno));
    return file;
}

void CloseInputFile(FILE* file)
{
    if (file != NULL && file != stdin)
        fclose(file);
}

std::string InputFileName(const std::string& path)
{
    return path == "-" ? "standard input" : EscapeForDisplay(path);
}

int ReadInputFileTo(const std::string& path, size_t maxBytes, const char* tooLargeReason, std::string* bytes,
                    std::string* error)
{
    FILE* file = path == "-" ? OpenInputFile(path) : fopen(path.c_str(), "rb");
    if (file == NULL) {
        *error = "cannot open " + Shown(path) + ": " + strerror(errno);
        return kExitIo;
    }
    bytes->clear();
    bool read = ReadUpTo(file, maxBytes, bytes);
    int readError = errno;
    CloseInputFile(file);
    if (!read) {
        *error = "cannot read " + Shown(path) + ": " + strerror(readError);
        return kExitIo;
    }
    if (bytes->size() > maxBytes) {
        char limit[32];
        snprintf(limit, sizeof limit, "%lu", static_cast<unsigned long>(maxBytes));
        *error = Shown(path) + " holds more than " + limit + " bytes, " + tooLargeReason;
        return kExitUsage;
    }
    return kExitOk;
}

int ReadInputFile(const std::string& path, size_t maxBytes, const char* tooLargeReason, std::string* bytes)
{
    std::string error;
    const int status = ReadInputFileTo(path, maxBytes, tooLargeReason, bytes, &error);
    if (status != kExitOk)
        fprintf(stderr, "velkctl: %s\n", error.c_str());
    return status;
}

std::string QuotePath(const std::string& path)
{
    return QuoteInput(path, kMaxPathShown);
}

int RecordReadStatus(const RecordReader& reader)
{
    if (!reader.Notice().empty())
        fprintf(stderr, "%s\n", reader.Notice().c_str());
    switch (reader.Outcome()) {
    case kRecordRead:
        return kExitOk;
    case kRecordMalformed:
        fprintf(stderr, "%s\n", reader.Error().c_str());
        return kExitUsage;
    default:
        fprintf(stderr, "velkctl: %s\n", reader.Error().c_str());
        return kExitIo;
    }
}
