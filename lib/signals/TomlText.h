// Every TOML file our programs read (signal files, panels, workspaces) is
// parsed by ParseTomlText. toml++ recurses once per level of a dotted key
// and keeps a node of 64 to 200 bytes per value, so a small hostile file can
// exhaust the stack or the memory; the text's shape is checked first, by a
// scan that neither recurses nor allocates.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "signals/Toml.h"

enum {
    kMaxTomlFileBytes = 64 << 20,
    kMaxTomlKeyParts = 32,          // parts of one dotted key or table header: a.b.c has 3
    kMaxTomlNesting = 32,           // arrays and inline tables inside each other
    kMaxTomlTreeMiB = 1024,          // what toml++'s tree may take, estimated from the text
};

// Where a file goes wrong; line 0 means the file as a whole.
struct TomlProblem {
    unsigned line = 0, column = 0;
    std::string what;
};

// The scan alone: false with *problem when the text is deeper or would
// take more memory than the bounds above allow. A text that passes may
// still be bad TOML; toml++ says so.
bool CheckTomlShape(const std::string& text, TomlProblem* problem);

// About how many bytes toml++'s 64-bit tree of the text takes (within a
// factor of two for every shape measured: long arrays, many keys, many
// tables, dotted keys and headers, whose every dot makes a table; the 32-bit
// tree is smaller). The same on both widths, so that a
// file is refused by both or by neither. Real signal files come to about 15
// times their size: the bound passes every one up to kMaxTomlFileBytes.
uint64_t EstimateTomlTreeBytes(const std::string& text);

// The shape check, then toml++. On failure false with *problem; never throws.
bool ParseTomlText(const std::string& text, const std::string& fileName, toml::table* root, TomlProblem* problem);

// "FILE:LINE:COLUMN: what", or "FILE: what" for the file as a whole.
std::string TomlProblemText(const std::string& fileName, const TomlProblem& problem);
