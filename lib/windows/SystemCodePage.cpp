#include "windows/SystemCodePage.h"

#include <windows.h>

#include "windows/SystemLeadByte.h"

namespace {

bool DecodeText(UINT codePage, const char* bytes, size_t count, std::u16string* text)
{
    text->clear();
    if (count == 0)
        return true;
    if (count > 0x7FFFFFFF)
        return false;
    const int length = static_cast<int>(count);
    int units = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes, length, NULL, 0);
    if (units <= 0)
        return false;
    text->resize(static_cast<size_t>(units));
    return MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes, length, reinterpret_cast<wchar_t*>(&(*text)[0]),
                               units) == units;
}

bool DecodeSystemText(const char* bytes, size_t count, std::u16string* text)
{
    return DecodeText(CP_ACP, bytes, count, text);
}

bool DecodeGbkText(const char* bytes, size_t count, std::u16string* text)
{
    return DecodeText(936, bytes, count, text);
}

bool DecodeUtf8Text(const char* bytes, size_t count, std::u16string* text)
{
    return DecodeText(CP_UTF8, bytes, count, text);
}

bool IsGbkLeadByte(unsigned char byte)
{
    return byte >= 0x81 && byte <= 0xFE;
}

bool NeverLeadByte(unsigned char)
{
    return false;
}

CodePage MakeSystemCodePage()
{
    CPINFO info;
    CodePage page = { 1, IsSystemLeadByte, DecodeSystemText };
    if (GetCPInfo(CP_ACP, &info) && info.MaxCharSize > 1)
        page.maxCharBytes = info.MaxCharSize;
    return page;
}

} // namespace

const CodePage& SystemCodePage()
{
    static const CodePage page = MakeSystemCodePage();
    return page;
}

const CodePage& GbkCodePage()
{
    static const CodePage page = { 2, IsGbkLeadByte, DecodeGbkText };
    return page;
}

// PayloadText cuts at character boundaries by lead bytes only for two-byte
// code pages; UTF-8 is decoded whole, so it needs none.
const CodePage& Utf8CodePage()
{
    static const CodePage page = { 4, NeverLeadByte, DecodeUtf8Text };
    return page;
}

namespace {

std::string Converted(UINT from, UINT to, const std::string& text)
{
    if (text.empty() || text.size() > 0x7FFFFFFF)
        return std::string();
    const int length = static_cast<int>(text.size());
    int wide = MultiByteToWideChar(from, 0, text.data(), length, NULL, 0);
    if (wide <= 0)
        return std::string();
    std::wstring buffer(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(from, 0, text.data(), length, &buffer[0], wide);
    int narrow = WideCharToMultiByte(to, 0, buffer.data(), wide, NULL, 0, NULL, NULL);
    if (narrow <= 0)
        return std::string();
    std::string converted(static_cast<size_t>(narrow), '\0');
    WideCharToMultiByte(to, 0, buffer.data(), wide, &converted[0], narrow, NULL, NULL);
    return converted;
}

} // namespace

std::string Utf8FromSystem(const std::string& text)
{
    return Converted(CP_ACP, CP_UTF8, text);
}

std::string SystemFromUtf8(const std::string& text)
{
    return Converted(CP_UTF8, CP_ACP, text);
}

bool GbkFromUtf8(const std::string& utf8, std::string* gbk)
{
    gbk->clear();
    if (utf8.empty())
        return true;
    if (utf8.size() > 0x7FFFFFFF)
        return false;
    const int length = static_cast<int>(utf8.size());
    int wide = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, NULL, 0);
    if (wide <= 0)
        return false;
    std::wstring buffer(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, &buffer[0], wide);
    BOOL defaulted = FALSE;
    int narrow = WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, buffer.data(), wide, NULL, 0, NULL, &defaulted);
    if (narrow <= 0 || defaulted)
        return false;
    gbk->resize(static_cast<size_t>(narrow));
    WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, buffer.data(), wide, &(*gbk)[0], narrow, NULL, &defaulted);
    return !defaulted;
}

std::wstring WideFromUtf8(const std::string& text)
{
    const int length = static_cast<int>(text.size());
    const int units = text.empty() ? 0 : MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
    std::wstring wide(static_cast<size_t>(units > 0 ? units : 0), L'\0');
    if (units > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), length, &wide[0], units);
    return wide;
}

std::string Utf8FromWide(const std::wstring& text)
{
    const int length = static_cast<int>(text.size());
    const int bytes = text.empty() ? 0 : WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), length, &narrow[0], bytes, nullptr, nullptr);
    return narrow;
}
