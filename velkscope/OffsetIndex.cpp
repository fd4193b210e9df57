#include "velkscope/OffsetIndex.h"

#include <algorithm>

#include "common/Catalogue.h"
#include "common/FormatText.h"

void OffsetIndex::Clear()
{
    marks_.assign(1, OffsetMark{ 0, 0, 0 });
    handedOver_ = 1;
    messages_ = 0;
    previousMicros_ = 0;
}

void OffsetIndex::Note(uint64_t lineOffset, uint64_t line, uint64_t micros,
                       const std::vector<GzipMemberMark>* members)
{
    if (messages_ != 0 && messages_ % kIndexEvery == 0) {
        OffsetMark mark{ lineOffset, line - 1, previousMicros_ };
        const GzipMemberMark* member = members != nullptr ? MemberBefore(*members, lineOffset) : nullptr;
        if (member != nullptr) {
            mark.memberOffset = member->offset;
            mark.memberText = member->textOffset;
        }
        marks_.push_back(mark);
    }
    ++messages_;
    previousMicros_ = micros;
}

void OffsetIndex::Append(const std::vector<OffsetMark>& marks)
{
    marks_.insert(marks_.end(), marks.begin(), marks.end());
}

std::vector<OffsetMark> OffsetIndex::TakeNew()
{
    std::vector<OffsetMark> fresh(marks_.begin() + static_cast<ptrdiff_t>(handedOver_), marks_.end());
    handedOver_ = marks_.size();
    return fresh;
}

const OffsetMark& OffsetIndex::MarkFor(uint64_t micros) const
{
    // The last mark before which every message is earlier than micros.
    auto after = std::lower_bound(marks_.begin() + 1, marks_.end(), micros,
                                  [](const OffsetMark& mark, uint64_t at) { return mark.micros < at; });
    return *(after - 1);
}

uint64_t OffsetIndex::BytesBetween(uint64_t from, uint64_t to, uint64_t indexedBytes) const
{
    const OffsetMark& start = MarkFor(from);
    auto end = std::upper_bound(marks_.begin(), marks_.end(), to,
                                [](uint64_t at, const OffsetMark& mark) { return at < mark.micros; });
    const uint64_t stop = end == marks_.end() ? std::max(indexedBytes, start.offset) : end->offset;
    return stop - std::min(stop, start.offset);
}

bool ReadRecordStretchFrom(FILE* file, const std::string& name, const OffsetMark& mark, uint64_t from, uint64_t to,
                           const std::function<bool(const RecordedMessage&)>& visit, std::string* error)
{
    RecordReader reader(file, name);
    reader.SkipBadLines();
    if (mark.memberOffset != 0)
        reader.UseMembers({ GzipMemberMark{ mark.memberOffset, mark.memberText } });
    if (!reader.Resume(mark.offset, mark.line, mark.micros)) {
        *error = FormatText(N_("cannot read %s"), name.c_str()) + ": " + N_("cannot seek");
        return false;
    }
    RecordedMessage message;
    while (reader.Next(&message)) {
        if (message.micros > to)
            return true;
        if (message.micros >= from && !visit(message))
            return true;
    }
    if (reader.Outcome() == kRecordUnreadable || reader.Outcome() == kRecordMalformed) {
        *error = reader.Error();
        return false;
    }
    return true;
}

bool ReadRecordStretch(FILE* file, const std::string& name, const OffsetIndex& index, uint64_t from, uint64_t to,
                       const std::function<bool(const RecordedMessage&)>& visit, std::string* error)
{
    return ReadRecordStretchFrom(file, name, index.MarkFor(from), from, to, visit, error);
}
