// What velkctl and velkscope say, in the language the user reads: Chinese
// first, then English, on a Chinese system (code page 936) or with
// VELK_LANG=zh; English only with VELK_LANG=en. Every help and error text
// passes through here, translated by the catalogue (common/Catalogue.h).
#pragma once
#include <string>

#include "common/Catalogue.h"

// VELK_LANG, else the system code page; looked up once.
Language ProgramLanguage();

// printf into standard error: the English format (the catalogue's key) and
// its arguments, texts in the system code page, as the console shows them.
// In Chinese each line comes first translated, then as it is.
void PrintMessage(const char* format, ...);

// A text in the system code page in the program's language: its Chinese,
// between, then itself; or itself.
std::string Localized(const std::string& english, const char* between = "\n");

// The same for UTF-8 text (velkscope's windows).
std::string LocalizedUtf8(const std::string& english, const char* between = "\n");

// A reason a library gives in English (UTF-8), to follow a window's own
// Chinese-and-English words: "中文 / English", or itself.
std::wstring LocalizedReason(const std::string& english);
