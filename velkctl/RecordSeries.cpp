#include "velkctl/RecordSeries.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>

#include <windows.h>

#include "client/InputFile.h"
#include "common/Catalogue.h"
#include "common/Escapes.h"
#include "common/FileName.h"
#include "common/FormatText.h"
#include "formats/RecordLine.h"
#include "client/ProgramMessages.h"
#include "windows/FolderNames.h"

namespace {

// A file's name in a message: the file Windows makes of it, quoted.
std::string Shown(const std::string& name)
{
    return name == "-" ? N_("standard output") : QuotePath(FileNameAsMade(name));
}

} // namespace

RecordSeries::RecordSeries(const std::string& path, bool compressed, const PieceBound& split, const KeepBudget& keep)
    : path_(path), compressed_(compressed), split_(split), keep_(keep), series_(SeriesOfFile(path)),
      file_(new LineFile)
{
}

bool RecordSeries::Open(const WallTime& start)
{
    start_ = start;
    return (!Split() || DeleteEarlierParts()) && OpenFile(1, 0);
}

// Parts an earlier recording in the same name left beyond the first (which
// the new one replaces) are deleted before it begins, and said: two runs
// never mix in one series. One that cannot be deleted stops it unbegun.
bool RecordSeries::DeleteEarlierParts()
{
    const size_t slash = path_.find_last_of("/\\");
    const std::string folder = slash == std::string::npos ? "" : path_.substr(0, slash + 1);
    std::vector<std::string> names, paths;
    std::string ignored;
    if (!WindowsFolders(CP_ACP).Names(folder, &names, &ignored))
        return true;   // no folder: creating the first part says so
    for (const std::string& name : names)
        paths.push_back(folder + name);
    unsigned deleted = 0;
    std::string first, last;
    for (const std::string& part : PartsAmong(series_, paths)) {
        if (PartNumber(series_, part) < 2)
            continue;
        if (remove(part.c_str()) != 0) {
            createError_ = FormatText(N_("cannot delete %s, left by an earlier recording in this name: %s"),
                                      Shown(part).c_str(), strerror(errno));
            return false;
        }
        first = deleted++ == 0 ? part : first;
        last = part;
    }
    if (deleted != 0)
        PrintMessage("velkctl: %s\n",
                     FormatText(N_("deleted %s an earlier recording in this name left, %s to %s"),
                                CountOf(deleted, "part").c_str(), EscapeForDisplay(FileNameAsMade(first)).c_str(),
                                EscapeForDisplay(FileNameAsMade(last)).c_str()).c_str());
    return true;
}

bool RecordSeries::OpenFile(unsigned number, uint64_t micros)
{
    const std::string name = Split() ? PartName(series_, number) : path_;
    // A new LineFile for each part: its counts are the part's own.
    file_.reset(new LineFile);
    if (!file_->Create(name, compressed_)) {
        createError_ = FormatText(N_("cannot create %s: %s"), Shown(name).c_str(), strerror(errno));
        return false;
    }
    name_ = name;
    number_ = number;
    partMicros_ = micros;
    WallTime partStart = start_;
    partStart.utcMicros += static_cast<int64_t>(micros);
    file_->Add(kRecordHeader);
    file_->Add(FormatStartLine(partStart));
    if (Split())
        file_->Add(FormatPartLine(number, micros, start_));
    headerLines_ = file_->Added();
    // Compressed, the header is a member of its own: a part killed at once is still a recording.
    return file_->FlushAll();
}

bool RecordSeries::StartsNewPart(uint64_t lineBytes, uint64_t micros) const
{
    // A part of its header alone takes the next message, whatever its size or time.
    const uint64_t held = file_->Added() > headerLines_ ? file_->Bytes() : 0;
    return Split() && StartsNewPiece(split_, held, partMicros_, lineBytes, micros);
}

bool RecordSeries::NextPart(uint64_t micros)
{
    if (!file_->Close())
        return false;
    closedWritten_ += file_->Written() - headerLines_;
    finished_.push_back(Finished{ name_, file_->Bytes() });
    if (number_ >= kMaxPartNumber) {
        createError_ = FormatText(N_("cannot make a part after %s: %u parts is the most a series holds"),
                                  Shown(name_).c_str(), static_cast<unsigned>(kMaxPartNumber));
        return false;
    }
    if (!OpenFile(number_ + 1, micros))
        return false;
    Keep();
    return true;
}

// Once the new part is made: the part being written is never among those deleted.
void RecordSeries::Keep()
{
    if (keep_.bytes == 0 && keep_.count == 0)
        return;
    std::vector<uint64_t> bytes;
    for (const Finished& part : finished_)
        bytes.push_back(part.bytes);
    // Split by size, the new part is counted as full already: the budget holds while it grows.
    const size_t doomed = PartsToDelete(bytes, std::max(file_->Bytes(), split_.bytes), keep_);
    for (size_t i = 0; i < doomed; ++i) {
        const std::string& name = finished_[i].name;
        if (remove(name.c_str()) != 0) {
            // Left where it is, said once; the recording goes on.
            PrintMessage("velkctl: warning: %s\n", FormatText(N_("cannot delete %s: %s"),
                                                               Shown(name).c_str(),
                                                               strerror(errno)).c_str());
            continue;
        }
        const unsigned number = PartNumber(series_, name);
        firstDeleted_ = deleted_ == 0 ? number : firstDeleted_;
        lastDeleted_ = number;
        ++deleted_;
    }
    finished_.erase(finished_.begin(), finished_.begin() + static_cast<std::ptrdiff_t>(doomed));
}

bool RecordSeries::Close()
{
    return file_->Close() && createError_.empty();
}

std::string RecordSeries::Fault() const
{
    if (!createError_.empty())
        return createError_;
    return FormatText(N_("cannot write %s: %s"), Shown(name_).c_str(), file_->ErrorText().c_str());
}

uint64_t RecordSeries::Written() const
{
    // A part that could not be made holds nothing.
    const uint64_t current = createError_.empty() && file_->Written() > headerLines_ ? file_->Written() - headerLines_ : 0;
    return closedWritten_ + current;
}

std::string RecordSeries::Describe() const
{
    const std::string last = name_ == "-" ? N_("standard output") : EscapeForDisplay(FileNameAsMade(name_));
    if (number_ <= 1)
        return last;
    return FormatText(N_("%u parts, %s to %s"), number_,
                      EscapeForDisplay(FileNameAsMade(PartName(series_, 1))).c_str(), last.c_str());
}

std::string RecordSeries::FirstDeleted() const
{
    return EscapeForDisplay(FileNameAsMade(PartName(series_, firstDeleted_)));
}

std::string RecordSeries::LastDeleted() const
{
    return EscapeForDisplay(FileNameAsMade(PartName(series_, lastDeleted_)));
}
