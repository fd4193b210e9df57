#include "formats/SeriesReader.h"

#include <algorithm>

#include "common/Catalogue.h"
#include "formats/MemberSeek.h"
#include "common/FormatText.h"
#include "formats/RecordLine.h"
#include "formats/RecordParts.h"

SeriesReader::SeriesReader(FILE* file, const std::string& name) : single_(file), partName_(name)
{
}

SeriesReader::SeriesReader(const std::vector<std::string>& parts, PartOpener open, PartNamer name)
    : paths_(parts), open_(std::move(open)), name_(std::move(name))
{
}

SeriesReader::~SeriesReader()
{
    ClosePart();
}

bool SeriesReader::Start(WallTime* start) const
{
    if (hasStart_)
        *start = start_;
    return hasStart_;
}

bool SeriesReader::Fail(RecordReadOutcome outcome, uint64_t line, const std::string& error)
{
    outcome_ = outcome;
    faultLine_ = line;
    error_ = error;
    return false;
}

bool SeriesReader::OpenPart()
{
    placed_ = false;
    entered_ = false;
    if (single_ != nullptr) {
        reader_.reset(new RecordReader(single_, partName_));
        reader_->CopyTo(copy_);
        if (skipBadLines_)
            reader_->SkipBadLines();
        return true;
    }
    while (from_ != 0 && at_ + 1 < paths_.size() && PartStartsBy(at_ + 1, from_))
        ++at_;
    partName_ = name_(paths_[at_]);
    std::string why;
    file_ = open_(paths_[at_], &why);
    if (file_ == nullptr)
        return Fail(kRecordUnreadable, 0, FormatText(N_("cannot open %s"), partName_.c_str()) + ": " + why);
    reader_.reset(new RecordReader(file_, partName_));
    if (skipBadLines_)
        reader_->SkipBadLines();
    return true;
}

// Whether part index begins before micros (its part line says, read
// with its first message); false when it cannot tell.
bool SeriesReader::PartStartsBy(size_t index, uint64_t micros) const
{
    std::string why;
    FILE* file = open_(paths_[index], &why);
    if (file == nullptr)
        return false;
    bool starts = false;
    {
        RecordReader reader(file, paths_[index]);
        RecordedMessage message;
        PartLine part;
        starts = reader.Next(&message) && reader.Part(&part) && part.seriesMicros < micros;
    }
    fclose(file);
    return starts;
}

// A compressed part read from its start toward the window's: entered at the
// last member found to begin before it instead. The search has a file of its own.
void SeriesReader::EnterAtWindow()
{
    entered_ = true;
    const std::vector<GzipMemberMark>* members = reader_->Members();
    if (file_ == nullptr || members == nullptr || members->empty())
        return;
    std::string why;
    FILE* file = open_(paths_[at_], &why);
    if (file == nullptr)
        return;
    const uint64_t member = FindMemberBefore(file, members->back().offset + 1, from_ - offset_);
    fclose(file);
    if (member != 0)
        reader_->ResumeAtMember(member);
}

void SeriesReader::ClosePart()
{
    if (reader_ != nullptr) {
        linesBefore_ += reader_->LinesRead();
        badBefore_ += reader_->BadLines();
        bytesBefore_ += reader_->LineOffset();   // where its last line starts: near enough for costs
        fileBytesBefore_ += reader_->FileBytesRead();
        if (!reader_->LatestBadLine().empty())
            latestBadLine_ = reader_->LatestBadLine();
    }
    reader_.reset();
    if (file_ != nullptr)
        fclose(file_);
    file_ = nullptr;
}

// Where the part at hand starts on the series' axis, once its header is read.
bool SeriesReader::Place()
{
    placed_ = true;
    PartLine part;
    WallTime partStart;
    const bool isPart = reader_->Part(&part);
    const bool started = reader_->Start(&partStart);
    if (!hasStart_) {
        hasStart_ = isPart || started;
        start_ = isPart ? part.seriesStart : partStart;
        offset_ = isPart ? part.seriesMicros : 0;
        return true;
    }
    if (isPart && (part.seriesStart.utcMicros != start_.utcMicros)) {
        return Fail(kRecordUnreadable, 0,
                    FormatText(N_("cannot read %s"), partName_.c_str()) + ": " +
                        FormatText(N_("it is a part of another recording (its series started %s, the first part's %s)"),
                                   FormatLocalTime(part.seriesStart).c_str(), FormatLocalTime(start_).c_str()));
    }
    if (isPart)
        offset_ = part.seriesMicros;
    else if (started && partStart.utcMicros >= start_.utcMicros)
        offset_ = static_cast<uint64_t>(partStart.utcMicros - start_.utcMicros);
    else
        offset_ = previousMicros_;
    return true;
}

bool SeriesReader::Next(RecordedMessage* message)
{
    while (outcome_ == kRecordReading) {
        if (reader_ == nullptr && !OpenPart())
            return false;
        if (pauseAtLine_ != UINT64_MAX)
            reader_->PauseAtLine(pauseAtLine_ - std::min(pauseAtLine_, linesBefore_));
        if (reader_->Next(message)) {
            if (!placed_ && !Place())
                return false;
            message->micros += offset_;
            if (message->micros < previousMicros_)
                return Fail(kRecordMalformed, message->line,
                            FormatText("%s:%llu: ", partName_.c_str(), static_cast<unsigned long long>(message->line)) +
                                FormatText(N_("time %s is before the last of %s, %s"),
                                           FormatSeconds(message->micros).c_str(), previousPart_.c_str(),
                                           FormatSeconds(previousMicros_).c_str()));
            previousMicros_ = message->micros;
            previousPart_ = partName_;
            if (message->micros < from_) {
                if (!entered_)
                    EnterAtWindow();
                continue;
            }
            if (message->micros > to_) {
                outcome_ = kRecordRead;
                return false;
            }
            return true;
        }
        if (reader_->Outcome() == kRecordReading)
            return false;   // paused
        if (reader_->Outcome() != kRecordRead)
            return Fail(reader_->Outcome(), reader_->FaultLine(), reader_->Error());
        if (!placed_ && !Place())
            return false;
        if (!reader_->Notice().empty())
            notice_ += (notice_.empty() ? "" : "\n") + reader_->Notice();
        if (single_ != nullptr || at_ + 1 >= paths_.size()) {
            outcome_ = kRecordRead;
            return false;
        }
        ClosePart();
        ++at_;
    }
    return false;
}

bool SeriesReader::Rewind()
{
    if (single_ != nullptr) {
        if (reader_ != nullptr && !reader_->Rewind())
            return false;
    } else {
        ClosePart();
        at_ = 0;
    }
    linesBefore_ = badBefore_ = bytesBefore_ = fileBytesBefore_ = 0;
    latestBadLine_.clear();
    placed_ = false;
    hasStart_ = false;
    offset_ = previousMicros_ = 0;
    previousPart_.clear();
    outcome_ = kRecordReading;
    faultLine_ = 0;
    error_.clear();
    notice_.clear();
    return true;
}

const std::string& SeriesReader::LatestBadLine() const
{
    return reader_ != nullptr && !reader_->LatestBadLine().empty() ? reader_->LatestBadLine() : latestBadLine_;
}

bool SeriesReader::Resume(const SeriesPlace& place, const WallTime* start)
{
    ClosePart();
    outcome_ = kRecordReading;
    error_.clear();
    at_ = single_ != nullptr ? 0 : std::min<size_t>(place.part, paths_.size() - 1);
    const uint64_t from = from_;
    from_ = 0;   // the part is the place's, not the window's
    const bool opened = OpenPart();
    from_ = from;
    if (!opened)
        return false;
    if (place.memberOffset != 0)
        reader_->UseMembers({ GzipMemberMark{ place.memberOffset, place.memberText } });
    if (at_ != place.part ||
        !reader_->Resume(place.offset, place.line, place.micros - std::min(place.micros, place.partMicros)))
        return Fail(kRecordUnreadable, 0, FormatText(N_("cannot read %s"), partName_.c_str()) + ": " + N_("cannot seek"));
    placed_ = true;
    offset_ = place.partMicros;
    hasStart_ = start != nullptr;
    if (start != nullptr)
        start_ = *start;
    previousMicros_ = place.micros;
    previousPart_ = partName_;
    bytesBefore_ = place.partBytes;
    fileBytesBefore_ = 0;
    return true;
}
