// A whole file's bytes, for tests that check what a program wrote.
#pragma once
#include <stdio.h>
#include <string>

// Empty when the file cannot be read.
inline std::string ReadFileText(const std::string& path)
{
    std::string text;
    FILE* file = fopen(path.c_str(), "rb");
    if (file == NULL)
        return text;
    char chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0)
        text.append(chunk, got);
    fclose(file);
    return text;
}
