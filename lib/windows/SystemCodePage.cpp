#include "windows/SystemCodePage.h"

#include <windows.h>

#include "windows/SystemLeadByte.h"
#include "windows/WideText.h"

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
    return NarrowFromWide(WideFromNarrow(text, from), to);
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
    bool valid = true, lossy = false;
    std::wstring wide = WideFromNarrow(utf8, CP_UTF8, true, &valid);
    *gbk = valid ? NarrowFromWide(wide, 936, true, &lossy) : std::string();
    if (!valid || lossy || (gbk->empty() && !wide.empty())) {
        gbk->clear();
        return false;
    }
    return true;
}
