// Seeking in a stdio file past 2 GiB, where a long is too short on Windows:
// one place for the platforms' 64-bit calls. Pure logic over stdio.
#pragma once
#include <stdint.h>
#include <stdio.h>

// file placed at offset, its end-of-file mark cleared; false when it cannot be.
bool SeekFile(FILE* file, uint64_t offset);
// file's size in bytes (the file left at its end); false when it cannot be told.
bool SizeOfFile(FILE* file, uint64_t* size);
