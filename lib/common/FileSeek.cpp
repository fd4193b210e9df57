#include "common/FileSeek.h"

namespace {

bool SeekFrom(FILE* file, int64_t offset, int origin)
{
#ifdef _WIN32
    return _fseeki64(file, offset, origin) == 0;
#else
    return fseeko(file, static_cast<off_t>(offset), origin) == 0;
#endif
}

} // namespace

bool SeekFile(FILE* file, uint64_t offset)
{
    if (offset > static_cast<uint64_t>(INT64_MAX) || !SeekFrom(file, static_cast<int64_t>(offset), SEEK_SET))
        return false;
    clearerr(file);
    return true;
}

bool SizeOfFile(FILE* file, uint64_t* size)
{
    if (!SeekFrom(file, 0, SEEK_END))
        return false;
#ifdef _WIN32
    const int64_t end = _ftelli64(file);
#else
    const int64_t end = ftello(file);
#endif
    if (end < 0)
        return false;
    *size = static_cast<uint64_t>(end);
    return true;
}
