// The one conversion between narrow text in a code page (CP_ACP, the
// system's; CP_UTF8; 936, GBK) and UTF-16: the window framework, the command
// line and every code-page change of text go through these two.
#pragma once
#include <stddef.h>
#include <string>

// The bytes as UTF-16; empty for none. strict: a byte sequence invalid in the
// code page fails the whole text (*ok false, empty result) instead of being
// replaced.
std::wstring WideFromNarrow(const char* text, size_t length, unsigned codePage, bool strict = false,
                            bool* ok = nullptr);
inline std::wstring WideFromNarrow(const std::string& text, unsigned codePage, bool strict = false, bool* ok = nullptr)
{
    return WideFromNarrow(text.data(), text.size(), codePage, strict, ok);
}

// UTF-16 as bytes of the code page. A character the code page lacks becomes
// its default character ("?"); *lossy (when given) says one did. noBestFit:
// no look-alike in its place either (GBK text that must mean what it says).
std::string NarrowFromWide(const wchar_t* text, size_t length, unsigned codePage, bool noBestFit = false,
                           bool* lossy = nullptr);
inline std::string NarrowFromWide(const std::wstring& text, unsigned codePage, bool noBestFit = false,
                                  bool* lossy = nullptr)
{
    return NarrowFromWide(text.data(), text.size(), codePage, noBestFit, lossy);
}

// UTF-8 and UTF-16 (code page 65001), for what windows show of files:
// signal and panel files' names, units and labels, paths.
inline std::wstring WideFromUtf8(const std::string& text)
{
    return WideFromNarrow(text, 65001);
}
inline std::string Utf8FromWide(const std::wstring& text)
{
    return NarrowFromWide(text, 65001);
}
