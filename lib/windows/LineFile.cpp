#include "windows/LineFile.h"

#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <sys/stat.h>

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

void LineFile::Add(const std::string& line)
{
    pending_ += line;
    pending_ += '\n';
    if (pending_.size() >= kBufferBytes)
        Flush();
}

bool LineFile::Flush()
{
    size_t done = 0;
    while (!failed_ && done < pending_.size()) {
        int wrote = _write(descriptor_, pending_.data() + done, static_cast<unsigned>(pending_.size() - done));
        if (wrote <= 0) {
            failed_ = true;
            error_ = wrote < 0 ? errno : ENOSPC;
        } else {
            done += static_cast<size_t>(wrote);
        }
    }
    pending_.clear();
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
