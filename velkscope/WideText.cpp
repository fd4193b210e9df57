#include "velkscope/ScopeSignals.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <vector>

#include <windows.h>

#include "framework/Framework.h"
#include "signals/SignalFile.h"

namespace {

// Enough lines to see what is wrong; the box must fit on the screen.
const size_t kErrorsShown = 20;

} // namespace

std::wstring WideFromUtf8(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    const int length = static_cast<int>(text.size());
    int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
    std::wstring wide(static_cast<size_t>(units > 0 ? units : 0), L'\0');
    if (units > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), length, &wide[0], units);
    return wide;
}

bool ReadSignalFile(const std::wstring& path, SignalDatabase* database, std::wstring* errors)
{
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (file == nullptr) {
        *errors = L"无法打开 cannot open " + path + L": " + AfxWideFromNarrow(strerror(errno));
        return false;
    }
    std::string text;
    char buffer[65536];
    size_t read = 0;
    while ((read = fread(buffer, 1, sizeof buffer, file)) > 0 && text.size() <= static_cast<size_t>(kMaxSignalFileBytes))
        text.append(buffer, read);
    bool failed = ferror(file) != 0;
    fclose(file);
    if (failed) {
        *errors = L"无法读取 cannot read " + path;
        return false;
    }
    if (text.size() > static_cast<size_t>(kMaxSignalFileBytes)) {
        *errors = path + L": 文件过大 over 64 MiB, the most a signal file may hold";
        return false;
    }
    const std::wstring::size_type slash = path.find_last_of(L"\\/");
    const std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    std::vector<std::string> found;
    int units = WideCharToMultiByte(CP_UTF8, 0, name.c_str(), static_cast<int>(name.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8Name(static_cast<size_t>(units > 0 ? units : 0), '\0');
    if (units > 0)
        WideCharToMultiByte(CP_UTF8, 0, name.c_str(), static_cast<int>(name.size()), &utf8Name[0], units, nullptr, nullptr);
    if (LoadSignalFile(text, utf8Name, database, &found))
        return true;
    errors->clear();
    for (size_t i = 0; i < found.size() && i < kErrorsShown; ++i)
        *errors += (i == 0 ? L"" : L"\n") + WideFromUtf8(found[i]);
    if (found.size() > kErrorsShown)
        *errors += AfxWideFromNarrow(("\n... " + std::to_string(found.size() - kErrorsShown) + " more").c_str());
    return false;
}
