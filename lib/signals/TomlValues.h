// The values every TOML loader reads (signal files, panels, workspaces): each
// reader says what is wrong with the value where it stands, in the same words
// for every file, and leaves *value alone then.
#pragma once
#include <cstdint>
#include <string>

#include "signals/Toml.h"

// Where a loader's readers report; it keeps the file's name and the order.
class TomlErrors {
public:
    virtual void At(const toml::source_region& where, const std::string& what) = 0;

protected:
    ~TomlErrors() = default;
};

// Text in quotes, without control characters (common/Escapes.h).
bool ReadTomlString(TomlErrors* errors, const toml::node& node, const char* what, std::string* text);
// A whole number from lowest to highest.
bool ReadTomlInteger(TomlErrors* errors, const toml::node& node, const char* what, int64_t lowest, int64_t highest,
                     int64_t* value);
// The same for a bound that fits an int.
bool ReadTomlInteger(TomlErrors* errors, const toml::node& node, const char* what, int lowest, int highest, int* value);
// A finite number, whole or not.
bool ReadTomlNumber(TomlErrors* errors, const toml::node& node, const char* what, double* value);

// Text as a TOML basic string, for the files we write: in quotes, with '"'
// and '\' escaped. The text holds no control characters (callers check).
std::string TomlBasicString(const std::string& text);
