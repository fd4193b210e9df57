#include "formats/RecordReader.h"

#include <errno.h>
#include <string.h>

#include <algorithm>

#include "common/FormatText.h"
#include "common/Catalogue.h"
#include "common/FileSeek.h"

namespace {

std::string NotARecording()
{
    return FormatText(N_("not a velk recording: the first line must be '%s'"), kRecordHeader);
}

std::string TooLong()
{
    return FormatText(N_("line longer than %d bytes: not a record line"), static_cast<int>(kMaxRecordLineBytes));
}

} // namespace

RecordReader::RecordReader(FILE* file, const std::string& name, size_t chunkBytes)
    : file_(file), name_(name), fileName_(name), chunk_(std::max<size_t>(chunkBytes, 1))
{
}

RecordReader::RecordReader(const std::string& text, const std::string& name, size_t chunkBytes)
    : file_(nullptr), text_(text), name_(name), fileName_(name), chunk_(std::max<size_t>(chunkBytes, 1))
{
}

bool RecordReader::Start(WallTime* start) const
{
    if (hasStart_)
        *start = start_;
    return hasStart_;
}

bool RecordReader::Part(PartLine* part) const
{
    if (hasPart_)
        *part = part_;
    return hasPart_;
}

bool RecordReader::Next(RecordedMessage* message)
{
    while (outcome_ == kRecordReading && lineNumber_ < pauseAtLine_) {
        // Until the first chunk after Resume() comes, chunkOffset_ is its member's start.
        const uint64_t lineOffset = std::max(chunkOffset_ + chunkAt_, skipTo_);
        LineEnd end = ReadLine();
        if (end == kLineFault)
            return false;
        if (end == kLineTooLong) {
            PassOver(++lineNumber_, TooLong());
            continue;
        }
        if (end == kLineNone) {
            if (lineNumber_ == 0 && !inMember_)
                return Fail(kRecordMalformed, 1, NotARecording());
            if (torn_)
                notice_ = TornNotice();
            outcome_ = kRecordRead;
            return false;
        }
        ++lineNumber_;
        if (!line_.empty() && line_.back() == '\r')
            line_.pop_back();
        if (line_.size() > kMaxRecordLineBytes)   // one more byte, not a carriage return
            return Fail(kRecordMalformed, lineNumber_, TooLong());
        if (lineNumber_ == 1 && !inMember_ && line_ != kRecordHeader)
            return Fail(kRecordMalformed, 1, NotARecording());
        if (end == kLineCutShort) {
            // A recorder stopped mid-line: what is there may parse, but it is
            // not what was recorded.
            skippedLine_ = lineNumber_;
            notice_ = torn_ ? TornNotice()
                            : FormatText(N_("%s:%llu: last line is incomplete (recording cut short?), skipped"),
                                         name_.c_str(), static_cast<unsigned long long>(lineNumber_));
            outcome_ = kRecordRead;
            return false;
        }
        if (lineNumber_ != 1 && !hasStart_)
            hasStart_ = ParseStartLine(line_, &start_);
        else if (hasStart_ && !hasPart_ && previousMicros_ == 0 && !line_.empty() && line_[0] == '#')
            hasPart_ = ParsePartLine(line_, &part_);
        if (!line_.empty() && line_[0] == '#' && line_ == kTriggerMark)
            triggerPending_ = true;
        if (!line_.empty() && line_[0] == '#' && line_ == kExpiredNote)
            expiredPending_ = true;
        if ((lineNumber_ == 1 && !inMember_) || line_.empty() || line_[0] == '#')
            continue;
        std::string what = ParseRecordLine(line_, message);
        if (what.empty() && message->micros < previousMicros_)
            what = FormatText(N_("time %s is before the previous line's %s"), FormatSeconds(message->micros).c_str(),
                              FormatSeconds(previousMicros_).c_str());
        if (!what.empty() && skipBadLines_) {
            PassOver(lineNumber_, what);
            continue;
        }
        if (!what.empty())
            return Fail(kRecordMalformed, lineNumber_, what);
        previousMicros_ = message->micros;
        message->line = lineNumber_;
        lineOffset_ = lineOffset;
        afterTrigger_ = triggerPending_;
        triggerPending_ = false;
        // The note is the recorder's word for a '-' it wrote; on a payload it is stale.
        message->expired = expiredPending_ && message->kind != kValueMessage && message->bytes.empty();
        expiredPending_ = false;
        NoteMemberStart(lineOffset, message->micros);
        return true;
    }
    return false;
}

std::string RecordReader::Error() const
{
    if (outcome_ == kRecordMalformed)
        return FormatText("%s:%llu: %s", name_.c_str(), static_cast<unsigned long long>(faultLine_), fault_.c_str());
    if (outcome_ == kRecordUnreadable)
        return FormatText(N_("cannot read %s"), name_.c_str()) + ": " + fault_;
    return std::string();
}

bool RecordReader::Rewind()
{
    return Resume(0, 0, 0);
}

bool RecordReader::Resume(uint64_t offset, uint64_t lineNumber, uint64_t previousMicros)
{
    // Which kind of file it is shows in its first bytes.
    if (!detected_ && offset != 0 && !(SeekTo(0) && Detect()))
        return false;
    uint64_t rawOffset = offset, textOffset = offset;
    if (gzip_ != nullptr) {
        const GzipMemberMark* mark = MemberBefore(gzip_->Members(), offset);
        rawOffset = mark != nullptr ? mark->offset : 0;
        textOffset = mark != nullptr ? mark->textOffset : 0;
        gzip_->Restart(rawOffset, textOffset);
    }
    if (!SeekTo(rawOffset))
        return false;
    rawAt_ = rawEnd_ = 0;
    rawDone_ = torn_ = false;
    skipTo_ = offset;
    chunkOffset_ = textOffset;
    chunkAt_ = chunkEnd_ = 0;
    endOfFile_ = false;
    lineNumber_ = lineNumber;
    name_ = fileName_;
    inMember_ = false;
    previousMicros_ = previousMicros;
    outcome_ = kRecordReading;
    faultLine_ = 0;
    fault_.clear();
    notice_.clear();
    skippedLine_ = 0;
    triggerPending_ = afterTrigger_ = expiredPending_ = false;
    return true;
}

bool RecordReader::SeekTo(uint64_t offset)
{
    if (file_ == nullptr) {
        if (offset > text_.size())
            return false;
        textAt_ = static_cast<size_t>(offset);
        return true;
    }
    return SeekFile(file_, offset);
}

// The next line into line_, without its newline. A line longer than any
// record line (the first: longer than the header) is refused as soon as that
// many bytes have come, so a file of one endless line is not read to its end.
RecordReader::LineEnd RecordReader::ReadLine()
{
    line_.clear();
    const size_t limit = (lineNumber_ == 0 && !inMember_ ? strlen(kRecordHeader) : static_cast<size_t>(kMaxRecordLineBytes)) + 1;
    for (;;) {
        if (chunkAt_ == chunkEnd_ && !FillChunk()) {
            if (outcome_ != kRecordReading)
                return kLineFault;
            return line_.empty() ? kLineNone : kLineCutShort;
        }
        const char* start = chunk_.data() + chunkAt_;
        const size_t available = chunkEnd_ - chunkAt_;
        const char* newline = static_cast<const char*>(memchr(start, '\n', available));
        const size_t take = newline != nullptr ? static_cast<size_t>(newline - start) : available;
        if (line_.size() + take > limit) {
            const uint64_t number = lineNumber_ + 1;
            if (number != 1 && skipBadLines_)
                return SkipRestOfLine();
            Fail(kRecordMalformed, number, number == 1 ? NotARecording() : TooLong());
            return kLineFault;
        }
        line_.append(start, take);
        chunkAt_ += take;
        if (newline != nullptr) {
            ++chunkAt_;
            return kLineWhole;
        }
    }
}

// Past the newline of a line too long to keep; kLineTooLong even when the
// file ends first (what there was of it was bad already).
RecordReader::LineEnd RecordReader::SkipRestOfLine()
{
    line_.clear();
    for (;;) {
        if (chunkAt_ == chunkEnd_ && !FillChunk())
            return outcome_ != kRecordReading ? kLineFault : kLineTooLong;
        const char* start = chunk_.data() + chunkAt_;
        const char* newline = static_cast<const char*>(memchr(start, '\n', chunkEnd_ - chunkAt_));
        if (newline != nullptr) {
            chunkAt_ += static_cast<size_t>(newline - start) + 1;
            return kLineTooLong;
        }
        chunkAt_ = chunkEnd_;
    }
}

void RecordReader::PassOver(uint64_t line, const std::string& what)
{
    ++badLines_;
    latestBadLine_ = FormatText("%s:%llu: %s", name_.c_str(), static_cast<unsigned long long>(line), what.c_str());
    if (badLines_ == 1)
        firstBadLine_ = latestBadLine_;
}

// The next piece of text into chunk_; after Resume() in a compressed file,
// what comes before its offset is inflated and passed over.
bool RecordReader::FillChunk()
{
    if (endOfFile_ || (!detected_ && !Detect()))
        return false;
    for (;;) {
        size_t got = 0;
        if (gzip_ != nullptr) {
            if (!FillChunkInflated(&got))
                return false;
        } else if (rawAt_ < rawEnd_) {   // the piece Detect() looked at
            got = std::min(chunk_.size(), rawEnd_ - rawAt_);
            memcpy(chunk_.data(), raw_.data() + rawAt_, got);
            rawAt_ += got;
        } else if (!ReadRaw(chunk_.data(), chunk_.size(), &got)) {
            return false;
        }
        if (got == 0) {
            endOfFile_ = true;
            return false;
        }
        chunkOffset_ += chunkEnd_;
        chunkEnd_ = got;
        chunkAt_ = static_cast<size_t>(std::min<uint64_t>(got, skipTo_ - std::min(skipTo_, chunkOffset_)));
        if (chunkAt_ < chunkEnd_)
            return true;
    }
}

// Text inflated from the raw bytes into chunk_; *got 0 at the end of the file.
bool RecordReader::FillChunkInflated(size_t* got)
{
    *got = 0;
    while (*got == 0) {
        if (rawAt_ == rawEnd_) {
            // A fault met in the last bytes came with text: it is said now.
            if (!gzip_->Fault().empty())
                return Fail(kRecordUnreadable, 0, gzip_->Fault());
            if (rawDone_) {
                // What zlib still holds comes before the end.
                size_t used = 0;
                if (!gzip_->Inflate(raw_.data(), 0, &used, chunk_.data(), chunk_.size(), got))
                    return Fail(kRecordUnreadable, 0, gzip_->Fault());
                if (*got == 0)
                    torn_ = gzip_->InMember();
                return true;
            }
            rawAt_ = 0;
            if (!ReadRaw(raw_.data(), raw_.size(), &rawEnd_))
                return false;
            rawDone_ = rawEnd_ == 0;
            continue;
        }
        size_t used = 0;
        const bool good = gzip_->Inflate(raw_.data() + rawAt_, rawEnd_ - rawAt_, &used, chunk_.data(), chunk_.size(), got);
        rawAt_ += used;
        if (!good)
            return Fail(kRecordUnreadable, 0, gzip_->Fault());
    }
    return true;
}

bool RecordReader::ReadRaw(char* into, size_t room, size_t* got)
{
    if (file_ == nullptr) {
        *got = std::min(room, text_.size() - textAt_);
        memcpy(into, text_.data() + textAt_, *got);
        textAt_ += *got;
    } else {
        *got = fread(into, 1, room, file_);
        if (*got == 0 && ferror(file_))
            return Fail(kRecordUnreadable, 0, strerror(errno));
    }
    if (copy_ != nullptr && *got != 0)
        fwrite(into, 1, *got, copy_);
    return true;
}

// The file's first piece, read at its start: compressed or plain.
bool RecordReader::Detect()
{
    detected_ = true;
    raw_.resize(std::max<size_t>(chunk_.size(), 2));
    rawAt_ = 0;
    if (!ReadRaw(raw_.data(), raw_.size(), &rawEnd_))
        return false;
    if (IsGzipStart(raw_.data(), rawEnd_)) {
        gzip_.reset(new GzipInflater);
        gzip_->Members() = givenMembers_;
    }
    return true;
}

uint64_t RecordReader::FileBytesRead() const
{
    return gzip_ != nullptr ? gzip_->Offset() : chunkOffset_ + chunkAt_;
}

const std::vector<GzipMemberMark>* RecordReader::Members() const
{
    return gzip_ != nullptr ? &gzip_->Members() : nullptr;
}

bool RecordReader::ResumeAtMember(uint64_t offset)
{
    if (gzip_ == nullptr || !hasStart_)
        return false;
    std::vector<GzipMemberMark>& members = gzip_->Members();
    if (!members.empty() && offset <= members.back().offset)
        return false;
    const uint64_t text = members.empty() ? offset : members.back().textOffset + (offset - members.back().offset);
    members.push_back(GzipMemberMark{ offset, text });
    if (!Resume(text, 0, 0))   // the inflater is restarted: reading on would misread
        return Fail(kRecordUnreadable, 0, N_("cannot seek"));
    inMember_ = true;
    name_ = FormatText(N_("%s from the block at byte %llu"), fileName_.c_str(), static_cast<unsigned long long>(offset));
    return true;
}

void RecordReader::UseMembers(const std::vector<GzipMemberMark>& members)
{
    givenMembers_ = members;
    if (gzip_ != nullptr && members.size() > gzip_->Members().size())
        gzip_->Members() = members;
}

// The first message read from a member's start is its time in the index.
void RecordReader::NoteMemberStart(uint64_t lineOffset, uint64_t micros)
{
    if (gzip_ == nullptr)
        return;
    std::vector<GzipMemberMark>& members = gzip_->Members();
    const GzipMemberMark* found = MemberBefore(members, lineOffset);
    if (found == nullptr || found->hasMessage || skipTo_ > found->textOffset)
        return;
    GzipMemberMark& mark = members[static_cast<size_t>(found - members.data())];
    mark.firstMicros = micros;
    mark.hasMessage = true;
}

std::string RecordReader::TornNotice() const
{
    return FormatText(N_("%s: the last compressed block is incomplete (recording cut short?): read to its last whole line"),
                      name_.c_str());
}

bool RecordReader::Fail(RecordReadOutcome outcome, uint64_t line, const std::string& what)
{
    outcome_ = outcome;
    faultLine_ = line;
    fault_ = what;
    return false;
}

RecordParse ParseRecordText(const std::string& text)
{
    RecordParse parsed;
    RecordReader reader(text, "text");
    RecordedMessage message;
    while (reader.Next(&message))
        parsed.messages.push_back(message);
    if (reader.Outcome() != kRecordRead) {
        parsed.messages.clear();
        parsed.errorLine = reader.FaultLine();
        parsed.error = reader.Fault();
    }
    parsed.skippedLine = reader.SkippedLine();
    return parsed;
}
