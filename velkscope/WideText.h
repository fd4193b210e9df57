// Text between the window (UTF-16) and velkscope's engine (UTF-8 names,
// units and values; paths in the system code page, as the C library opens
// them).
#pragma once
#include <string>

std::wstring WideFromUtf8(const std::string& text);
std::string Utf8FromWide(const std::wstring& text);
// A path in the system code page; false when it holds a character that
// page cannot hold (the C library could not open it by that name).
bool SystemPathFromWide(const std::wstring& path, std::string* narrow);
