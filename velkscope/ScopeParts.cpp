#include "velkscope/ScopeParts.h"

#include <windows.h>

#include "formats/SeriesFiles.h"
#include "windows/FolderNames.h"
#include "windows/WideText.h"

bool FindScopeRecording(const std::wstring& path, std::vector<std::string>* parts, std::string* error)
{
    return FindRecordingFiles(Utf8FromWide(path), WindowsFolders(CP_UTF8), parts, error);
}

std::unique_ptr<SeriesReader> ReadScopeRecording(const std::vector<std::string>& parts)
{
    return std::unique_ptr<SeriesReader>(new SeriesReader(
        parts, [](const std::string& path, std::string* why) { return OpenPartFile(path, CP_UTF8, why); },
        [](const std::string& path) {
            const size_t slash = path.find_last_of("\\/");
            return slash == std::string::npos ? path : path.substr(slash + 1);
        }));
}

uint64_t ScopeRecordingBytes(const std::vector<std::string>& parts)
{
    uint64_t bytes = 0;
    for (const std::string& part : parts) {
        WIN32_FILE_ATTRIBUTE_DATA attributes;
        if (GetFileAttributesExW(WideFromUtf8(part).c_str(), GetFileExInfoStandard, &attributes))
            bytes += (static_cast<uint64_t>(attributes.nFileSizeHigh) << 32) | attributes.nFileSizeLow;
    }
    return bytes;
}
