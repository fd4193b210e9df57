// A temporary file holding a text, for readers that take a FILE*.
#pragma once
#include <stdio.h>

#include <string>

// At its start; null when no temporary file can be made.
inline FILE* FileOf(const std::string& text)
{
    FILE* file = tmpfile();
    if (file != nullptr) {
        fwrite(text.data(), 1, text.size(), file);
        rewind(file);
    }
    return file;
}
