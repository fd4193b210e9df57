#include "velkctl/InputFile.h"

#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <string.h>

#include "velkctl/Commands.h"

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

} // namespace

int ReadInputFile(const std::string& path, size_t maxBytes, const char* tooLargeReason, std::string* bytes)
{
    const bool standardInput = path == "-";
    const std::string shown = standardInput ? std::string("standard input") : "'" + path + "'";
    FILE* file = stdin;
    if (standardInput) {
        _setmode(_fileno(stdin), _O_BINARY);   // the bytes as they are: no CR LF translation
    } else {
        file = fopen(path.c_str(), "rb");
        if (file == NULL) {
            fprintf(stderr, "velkctl: cannot open %s: %s\n", shown.c_str(), strerror(errno));
            return kExitIo;
        }
    }
    bytes->clear();
    bool read = ReadUpTo(file, maxBytes, bytes);
    int readError = errno;
    if (!standardInput)
        fclose(file);
    if (!read) {
        fprintf(stderr, "velkctl: cannot read %s: %s\n", shown.c_str(), strerror(readError));
        return kExitIo;
    }
    if (bytes->size() > maxBytes) {
        fprintf(stderr, "velkctl: %s holds more than %lu bytes, %s\n", shown.c_str(),
                static_cast<unsigned long>(maxBytes), tooLargeReason);
        return kExitUsage;
    }
    return kExitOk;
}
