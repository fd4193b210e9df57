#include "windows/LibraryLoad.h"

#include <string>

namespace {

bool IsBareFileName(const wchar_t* name)
{
    for (; *name != L'\0'; ++name) {
        if (*name == L'\\' || *name == L'/' || *name == L':')
            return false;
    }
    return true;
}

// The folder of this program, with a trailing backslash.
std::wstring ProgramFolder()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0)
            return std::wstring();
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::wstring SystemFolder()
{
    wchar_t folder[MAX_PATH];
    UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::wstring();
    return std::wstring(folder, length) + L"\\";
}

HMODULE LoadFromSafeFolders(const std::wstring& name)
{
    HMODULE module = LoadLibraryExW(name.c_str(), nullptr,
                                    LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module != nullptr || GetLastError() != ERROR_INVALID_PARAMETER)
        return module;
    // A system without the search flags: name the file in each folder ourselves.
    const std::wstring folders[] = { ProgramFolder(), SystemFolder() };
    for (const std::wstring& folder : folders) {
        if (folder.empty())
            continue;
        module = LoadLibraryExW((folder + name).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        if (module != nullptr)
            return module;
    }
    return nullptr;
}

} // namespace

HMODULE LoadLibraryFromSafeFolders(const wchar_t* fileName)
{
    if (fileName == nullptr || *fileName == L'\0')
        return nullptr;
    DWORD oldMode = 0;
    SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &oldMode);
    HMODULE module = IsBareFileName(fileName)
        ? LoadFromSafeFolders(fileName)
        : LoadLibraryExW(fileName, nullptr, 0);
    DWORD error = GetLastError();
    SetThreadErrorMode(oldMode, nullptr);
    SetLastError(error);
    return module;
}
