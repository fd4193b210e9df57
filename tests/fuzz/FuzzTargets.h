// The fuzz targets: each takes one input (an exact-size heap copy, so
// AddressSanitizer sees any read past it) and checks properties of the
// parser it feeds. The same functions run under libFuzzer
// (LibFuzzerMain.cpp) and in the native suite over the kept inputs
// (FuzzInputsTest.cpp).
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

typedef void (*FuzzTarget)(const uint8_t* data, size_t size);

void FuzzRecordLine(const uint8_t* data, size_t size);
void FuzzRecordReader(const uint8_t* data, size_t size);
void FuzzJsonObject(const uint8_t* data, size_t size);
void FuzzBridgeLine(const uint8_t* data, size_t size);
void FuzzArguments(const uint8_t* data, size_t size);
void FuzzEscapesHex(const uint8_t* data, size_t size);
void FuzzMessageFilter(const uint8_t* data, size_t size);
void FuzzLocalTime(const uint8_t* data, size_t size);
void FuzzSignalFile(const uint8_t* data, size_t size);
void FuzzSessionRequest(const uint8_t* data, size_t size);
void FuzzPanelFile(const uint8_t* data, size_t size);
void FuzzWorkspace(const uint8_t* data, size_t size);
void FuzzDbcFile(const uint8_t* data, size_t size);
void FuzzMatrixCsv(const uint8_t* data, size_t size);

// A broken property. Defined by each runner: libFuzzer's aborts (a crash it
// keeps the input of), the native suite's throws (a failure naming the file).
[[noreturn]] void FuzzPropertyBroken(const char* what, const char* file, int line);

#define FUZZ_CHECK(condition)                                             \
    do {                                                                  \
        if (!(condition))                                                 \
            FuzzPropertyBroken(#condition, __FILE__, __LINE__);           \
    } while (0)

// Whether text is "f:LINE:" then COLUMN ":" when column is asked for, then
// a blank and more; LINE (into *line) from 1 to lines.
bool FuzzPlaced(const std::string& text, uint64_t lines, bool column, uint64_t* line);
// A DBC or matrix reader's errors: each placed at LINE:COLUMN of lines, in
// the file's order, at most 50 and then the line saying more were left out.
void FuzzCheckDbcErrors(const std::vector<std::string>& errors, uint64_t lines);

// The input as text.
inline std::string FuzzText(const uint8_t* data, size_t size)
{
    return std::string(reinterpret_cast<const char*>(data), size);
}
