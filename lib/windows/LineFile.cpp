#include "windows/LineFile.h"

#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include <algorithm>

#include <windows.h>

#include "common/Catalogue.h"

namespace {

// Written out when this much is kept.
const size_t kBufferBytes = 1 << 16;

} // namespace

bool LineFile::Create(const std::string& path)
{
    if (path == "-") {
        fflush(stdout);
        _setmode(_fileno(stdout), _O_BINARY);   // the same bytes as a file
        descriptor_ = _fileno(stdout);
        ownsDescriptor_ = false;
    } else {
        descriptor_ = _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE);
        ownsDescriptor_ = true;
    }
    pending_.reserve(kBufferBytes + 1024);
    return descriptor_ >= 0;
}

void LineFile::Add(const std::string& lines)
{
    pending_ += lines;
    pending_ += '\n';
    ends_.push_back(pending_.size());
    ++added_;
    if (pending_.size() >= kBufferBytes)
        Flush();
}

void LineFile::Fail(unsigned long systemError)
{
    failed_ = true;
    // A write that takes nothing and says nothing is a full disk too.
    diskFull_ = systemError == ERROR_DISK_FULL || systemError == ERROR_HANDLE_DISK_FULL || systemError == 0;
    error_ = diskFull_ ? ENOSPC
           : systemError == ERROR_BROKEN_PIPE || systemError == ERROR_NO_DATA ? EPIPE
           : systemError == ERROR_ACCESS_DENIED ? EACCES
           : EIO;
}

// WriteFile rather than _write: the C library's _write says -1 for a write
// that went out in part, so what reached the file would be unknown.
bool LineFile::Flush()
{
    if (failed_ || descriptor_ < 0) {
        pending_.clear();
        ends_.clear();
        return !failed_;
    }
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor_));
    size_t done = 0;
    while (done < pending_.size()) {
        DWORD wrote = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(pending_.size() - done, 1u << 30));
        if (!WriteFile(handle, pending_.data() + done, chunk, &wrote, NULL) || wrote == 0) {
            Fail(wrote == 0 && GetLastError() == ERROR_SUCCESS ? 0 : GetLastError());
            break;
        }
        done += wrote;
    }
    const size_t whole = static_cast<size_t>(std::upper_bound(ends_.begin(), ends_.end(), done) - ends_.begin());
    const size_t wholeBytes = whole == 0 ? 0 : ends_[whole - 1];
    if (done > wholeBytes && ownsDescriptor_) {
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(fileBytes_ + wholeBytes);
        if (SetFilePointerEx(handle, at, NULL, FILE_BEGIN))
            SetEndOfFile(handle);
    }
    fileBytes_ += wholeBytes;
    written_ += whole;
    pending_.clear();
    ends_.clear();
    return !failed_;
}

bool LineFile::Close()
{
    if (descriptor_ < 0)
        return !failed_;
    Flush();
    if (ownsDescriptor_ && _close(descriptor_) != 0 && !failed_) {
        failed_ = true;
        error_ = errno;
    }
    descriptor_ = -1;
    if (failed_)
        errno = error_;
    return !failed_;
}

std::string LineFile::ErrorText() const
{
    return diskFull_ ? N_("disk full") : strerror(error_);
}
