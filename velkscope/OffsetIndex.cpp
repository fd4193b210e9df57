#include "velkscope/OffsetIndex.h"

#include <algorithm>

void OffsetIndex::Clear()
{
    marks_.assign(1, OffsetMark{ 0, 0, 0 });
    messages_ = 0;
    previousMicros_ = 0;
}

void OffsetIndex::Note(const SeriesReader& reader, uint64_t line, uint64_t micros)
{
    if (messages_ != 0 && messages_ % kIndexEvery == 0) {
        OffsetMark mark{ reader.LineOffset(), line - 1, previousMicros_ };
        const std::vector<GzipMemberMark>* members = reader.Members();
        const GzipMemberMark* member = members != nullptr ? MemberBefore(*members, mark.offset) : nullptr;
        if (member != nullptr) {
            mark.memberOffset = member->offset;
            mark.memberText = member->textOffset;
        }
        mark.part = reader.PartIndex();
        mark.partMicros = reader.PartMicros();
        mark.partBytes = reader.PartBytes();
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
    std::vector<OffsetMark> fresh(marks_.begin() + 1, marks_.end());
    marks_.resize(1);
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
    // Counted over the whole series: the parts before a mark's, then its offset.
    const OffsetMark& start = MarkFor(from);
    auto end = std::upper_bound(marks_.begin(), marks_.end(), to,
                                [](uint64_t at, const OffsetMark& mark) { return at < mark.micros; });
    const uint64_t begin = start.partBytes + start.offset;
    const uint64_t stop = end == marks_.end() ? std::max(indexedBytes, begin) : end->partBytes + end->offset;
    return stop - std::min(stop, begin);
}

bool ReadRecordStretchFrom(SeriesReader* reader, const WallTime* start, const OffsetMark& mark, uint64_t from,
                           uint64_t to, const std::function<bool(const RecordedMessage&)>& visit, std::string* error)
{
    reader->SkipBadLines();
    if (!reader->Resume(mark, start)) {
        *error = reader->Error();
        return false;
    }
    RecordedMessage message;
    while (reader->Next(&message)) {
        if (message.micros > to)
            return true;
        if (message.micros >= from && !visit(message))
            return true;
    }
    if (reader->Outcome() == kRecordUnreadable || reader->Outcome() == kRecordMalformed) {
        *error = reader->Error();
        return false;
    }
    return true;
}

bool ReadRecordStretch(SeriesReader* reader, const WallTime* start, const OffsetIndex& index, uint64_t from,
                       uint64_t to, const std::function<bool(const RecordedMessage&)>& visit, std::string* error)
{
    return ReadRecordStretchFrom(reader, start, index.MarkFor(from), from, to, visit, error);
}

bool ReadRecordStretchFrom(FILE* file, const std::string& name, const OffsetMark& mark, uint64_t from, uint64_t to,
                           const std::function<bool(const RecordedMessage&)>& visit, std::string* error)
{
    SeriesReader reader(file, name);
    return ReadRecordStretchFrom(&reader, nullptr, mark, from, to, visit, error);
}

bool ReadRecordStretch(FILE* file, const std::string& name, const OffsetIndex& index, uint64_t from, uint64_t to,
                       const std::function<bool(const RecordedMessage&)>& visit, std::string* error)
{
    return ReadRecordStretchFrom(file, name, index.MarkFor(from), from, to, visit, error);
}
