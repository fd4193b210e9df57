// The system code page (CP_ACP: GBK, code page 936, on a Chinese Windows)
// as PayloadText decodes it: MultiByteToWideChar with MB_ERR_INVALID_CHARS.
#pragma once
#include <string>

#include "common/PayloadText.h"

const CodePage& SystemCodePage();
// GBK (code page 936) and UTF-8 whatever the system's code page: the two
// encodings a signal file can name for its text.
const CodePage& GbkCodePage();
const CodePage& Utf8CodePage();

// A text in the system code page (the command line's) as UTF-8, for files
// that are UTF-8 (the SVG of plot), and back, for a console (the signal
// file's units and comments); a character the code page lacks becomes "?".
std::string Utf8FromSystem(const std::string& text);
std::string SystemFromUtf8(const std::string& text);

// UTF-8 text as GBK bytes, for the gbk text fields of a signal file; false
// when a character has no GBK form (nothing is put in its place).
bool GbkFromUtf8(const std::string& utf8, std::string* gbk);
