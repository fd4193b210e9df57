#include "velk/velkctl/PayloadFile.h"

#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <string.h>

bool ReadPayloadFile(const std::string& path, size_t maxBytes, std::string* bytes)
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
            return false;
        }
    }
    // One byte beyond the limit tells a file that is too large.
    bytes->assign(maxBytes + 1, '\0');
    size_t got = fread(&(*bytes)[0], 1, bytes->size(), file);
    bool failed = ferror(file) != 0;
    if (!standardInput)
        fclose(file);
    if (failed) {
        fprintf(stderr, "velkctl: cannot read %s\n", shown.c_str());
        return false;
    }
    if (got > maxBytes) {
        fprintf(stderr, "velkctl: %s holds more than %lu bytes, the most one message carries\n",
                shown.c_str(), static_cast<unsigned long>(maxBytes));
        return false;
    }
    bytes->resize(got);
    return true;
}
