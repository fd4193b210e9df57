#include "windows/SystemCodePage.h"

#include <windows.h>

#include "windows/SystemLeadByte.h"

namespace {

bool DecodeSystemText(const char* bytes, size_t count, std::u16string* text)
{
    text->clear();
    if (count == 0)
        return true;
    if (count > 0x7FFFFFFF)
        return false;
    const int length = static_cast<int>(count);
    int units = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes, length, NULL, 0);
    if (units <= 0)
        return false;
    text->resize(static_cast<size_t>(units));
    return MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes, length, reinterpret_cast<wchar_t*>(&(*text)[0]),
                               units) == units;
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
