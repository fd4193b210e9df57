#include "common/FileName.h"

std::string FileNameAsMade(const std::string& path)
{
    const size_t part = path.find_last_of("/\\:") == std::string::npos ? 0 : path.find_last_of("/\\:") + 1;
    const size_t kept = path.find_last_not_of(". ");
    if (kept == std::string::npos || kept < part)
        return path;
    return path.substr(0, kept + 1);
}
