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
#include "windows/Clock.h"

namespace {

// Written out when this much is kept.
const size_t kBufferBytes = 1 << 16;

} // namespace

bool LineFile::Create(const std::string& path, bool compressed)
{
    if (compressed) {
        gzip_.reset(new GzipMemberWriter([this](const char* bytes, size_t size) {
            pending_.append(bytes, size);
            return true;
        }));
        clockStart_ = ClockTicks();
    }
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
    ++added_;
    if (failed_ && gzip_ != nullptr)   // nothing more goes out: not worth compressing
        return;
    if (gzip_ == nullptr) {
        pending_ += lines;
        pending_ += '\n';
        EndUnit(pending_.size(), 1);
    } else {
        gzip_->Write(lines + "\n", ClockMicrosSince(clockStart_));
        NoteEndedMember();
        ++inMember_;
    }
    if (pending_.size() >= kBufferBytes)
        Flush();
}

void LineFile::EndUnit(size_t end, uint64_t adds)
{
    ends_.push_back(Unit{ end, adds });
}

// A member the writer ended is a unit that goes out whole.
void LineFile::NoteEndedMember()
{
    if (gzip_->Members() == members_)
        return;
    members_ = gzip_->Members();
    EndUnit(static_cast<size_t>(gzip_->EndedBytes() - pendingOrigin_), inMember_);
    inMember_ = 0;
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
    if (gzip_ != nullptr && !failed_) {
        gzip_->EndOldMember(ClockMicrosSince(clockStart_));
        NoteEndedMember();
    }
    if (failed_ || descriptor_ < 0) {
        pending_.clear();
        ends_.clear();
        return !failed_;
    }
    // Only whole units go out; the member at hand stays.
    const size_t out = ends_.empty() ? 0 : ends_.back().end;
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor_));
    size_t done = 0;
    while (done < out) {
        DWORD wrote = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(out - done, 1u << 30));
        if (!WriteFile(handle, pending_.data() + done, chunk, &wrote, NULL) || wrote == 0) {
            Fail(wrote == 0 && GetLastError() == ERROR_SUCCESS ? 0 : GetLastError());
            break;
        }
        done += wrote;
    }
    const size_t whole = static_cast<size_t>(
        std::upper_bound(ends_.begin(), ends_.end(), done, [](size_t at, const Unit& unit) { return at < unit.end; })
        - ends_.begin());
    const size_t wholeBytes = whole == 0 ? 0 : ends_[whole - 1].end;
    if (done > wholeBytes && ownsDescriptor_) {
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(fileBytes_ + wholeBytes);
        if (SetFilePointerEx(handle, at, NULL, FILE_BEGIN))
            SetEndOfFile(handle);
    }
    fileBytes_ += wholeBytes;
    for (size_t i = 0; i < whole; ++i)
        written_ += ends_[i].adds;
    pendingOrigin_ += out;
    pending_.erase(0, out);
    ends_.clear();
    if (failed_)
        pending_.clear();
    return !failed_;
}

uint64_t LineFile::MemberDueTicks() const
{
    if (gzip_ == nullptr || failed_ || !gzip_->InMember())
        return UINT64_MAX;
    const uint64_t micros = gzip_->MemberFirstMicros() + kGzipMemberMicros;
    const uint64_t rate = ClockTicksPerSecond();
    return clockStart_ + micros / 1000000 * rate + (micros % 1000000 * rate + 999999) / 1000000;
}

bool LineFile::FlushAll()
{
    if (gzip_ != nullptr && !failed_) {
        gzip_->EndMember();
        NoteEndedMember();
    }
    return Flush();
}

bool LineFile::Close()
{
    if (descriptor_ < 0)
        return !failed_;
    FlushAll();
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
