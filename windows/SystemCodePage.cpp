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
