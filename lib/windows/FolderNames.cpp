#include "windows/FolderNames.h"

#include <errno.h>
#include <string.h>

#include <windows.h>

#include "windows/WideText.h"

FolderView::Kind WindowsFolders::KindOf(const std::string& path) const
{
    const DWORD attributes = GetFileAttributesW(WideFromNarrow(path, codePage_).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return kMissing;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? kFolder : kFile;
}

bool WindowsFolders::Names(const std::string& folder, std::vector<std::string>* names, std::string* why) const
{
    const std::wstring pattern = WideFromNarrow(folder, codePage_) + L"*";
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        if (GetLastError() == ERROR_FILE_NOT_FOUND)
            return true;
        *why = strerror(GetLastError() == ERROR_PATH_NOT_FOUND ? ENOENT : EACCES);
        return false;
    }
    // A folder holds a bounded number of names; FindNextFile ends the walk.
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            names->push_back(NarrowFromWide(found.cFileName, wcslen(found.cFileName), codePage_));
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return true;
}

FILE* OpenPartFile(const std::string& path, unsigned codePage, std::string* why)
{
    FILE* file = _wfopen(WideFromNarrow(path, codePage).c_str(), L"rb");
    if (file == NULL)
        *why = strerror(errno);
    return file;
}
