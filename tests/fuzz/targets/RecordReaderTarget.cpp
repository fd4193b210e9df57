// A whole record file, read in chunks of any size, from memory or through
// stdio; cut short anywhere; and grown after a first reading (standard
// input kept for a second pass). The same bytes must read the same way,
// plain or compressed in members of any size. An input that is compressed
// already (gzip's magic first) is read in chunks of any size and cut short.
#include "tests/fuzz/FuzzTargets.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "formats/GzipMembers.h"
#include "formats/RecordReader.h"

namespace {

struct Reading {
    std::vector<RecordedMessage> messages;   // those before the end or the fault
    RecordReadOutcome outcome;
    uint64_t faultLine;
    std::string fault;
    uint64_t skippedLine;
};

Reading ReadAll(RecordReader* reader)
{
    Reading reading;
    RecordedMessage message;
    // Each message is a line, so the count is bounded by the input.
    while (reader->Next(&message))
        reading.messages.push_back(message);
    reading.outcome = reader->Outcome();
    reading.faultLine = reader->FaultLine();
    reading.fault = reader->Fault();
    reading.skippedLine = reader->SkippedLine();
    return reading;
}

bool SameMessage(const RecordedMessage& a, const RecordedMessage& b)
{
    return a.micros == b.micros && a.code == b.code && a.kind == b.kind && a.value == b.value &&
           a.bytes == b.bytes && a.line == b.line;
}

bool SameReading(const Reading& a, const Reading& b)
{
    if (a.messages.size() != b.messages.size() || a.outcome != b.outcome || a.faultLine != b.faultLine ||
        a.fault != b.fault || a.skippedLine != b.skippedLine)
        return false;
    for (size_t i = 0; i < a.messages.size(); ++i) {
        if (!SameMessage(a.messages[i], b.messages[i]))
            return false;
    }
    return true;
}

// A file that grows: reads see the bytes written so far.
struct GrowingFile {
    const char* bytes;
    size_t written;
    size_t at;
};

ssize_t ReadGrowing(void* cookie, char* buffer, size_t size)
{
    GrowingFile* file = static_cast<GrowingFile*>(cookie);
    size_t got = std::min(size, file->written - std::min(file->at, file->written));
    memcpy(buffer, file->bytes + file->at, got);
    file->at += got;
    return static_cast<ssize_t>(got);
}

int SeekGrowing(void* cookie, off64_t* offset, int whence)
{
    GrowingFile* file = static_cast<GrowingFile*>(cookie);
    if (whence != SEEK_SET || *offset < 0)
        return -1;
    file->at = static_cast<size_t>(*offset);
    return 0;
}

// text through the member writer, a member at most memberText bytes,
// each line written alone (so members end only at whole lines).
std::string Compress(const std::string& text, size_t memberText)
{
    std::string bytes;
    GzipMemberWriter writer([&bytes](const char* data, size_t size) { bytes.append(data, size); return true; },
                            memberText);
    for (size_t at = 0; at < text.size();) {
        const size_t newline = text.find('\n', at);
        const size_t end = newline == std::string::npos ? text.size() : newline + 1;
        FUZZ_CHECK(writer.Write(text.substr(at, end - at), 0));
        at = end;
    }
    FUZZ_CHECK(writer.EndMember());
    return bytes;
}

// Compressed input: any chunk size reads it the same, and a cut gives the
// first messages of the whole.
void ReadCompressed(const std::string& bytes, size_t chunk, size_t cut)
{
    RecordReader whole(bytes, "f");
    const Reading all = ReadAll(&whole);
    RecordReader chunked(bytes, "f", chunk);
    FUZZ_CHECK(SameReading(all, ReadAll(&chunked)));
    RecordReader cutShort(bytes.substr(0, cut), "f", chunk);
    const Reading some = ReadAll(&cutShort);
    for (size_t i = 0; i < std::min(some.messages.size(), all.messages.size()); ++i)
        FUZZ_CHECK(SameMessage(some.messages[i], all.messages[i]));
}

} // namespace

void FuzzRecordReader(const uint8_t* data, size_t size)
{
    const std::string text = FuzzText(data, size);
    if (IsGzipStart(text.data(), text.size())) {
        ReadCompressed(text, 1 + data[size - 1] % 97, (data[2 % size] * 131u + size * 7u) % size);
        return;
    }
    RecordReader whole(text, "f");
    const Reading all = ReadAll(&whole);
    FUZZ_CHECK(all.outcome == kRecordRead || all.outcome == kRecordMalformed);
    const uint64_t lines = static_cast<uint64_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    if (all.outcome == kRecordMalformed) {
        // The fault names a line of the file, and the error says it.
        FUZZ_CHECK(all.faultLine >= 1 && all.faultLine <= lines);
        FUZZ_CHECK(!all.fault.empty());
        FUZZ_CHECK(whole.Error().compare(0, 2 + std::to_string(all.faultLine).size() + 1,
                                         "f:" + std::to_string(all.faultLine) + ":") == 0);
    } else {
        FUZZ_CHECK(whole.Error().empty());
    }
    uint64_t previous = 0;
    for (const RecordedMessage& message : all.messages) {
        FUZZ_CHECK(message.line >= 2 && message.line <= lines && message.line > previous);
        previous = message.line;
    }
    if (all.skippedLine != 0)
        FUZZ_CHECK(all.skippedLine == lines && text.back() != '\n');

    // Any chunk size reads the same.
    const size_t chunk = size == 0 ? 1 : 1 + data[size - 1] % 97;
    RecordReader chunked(text, "f", chunk);
    FUZZ_CHECK(SameReading(all, ReadAll(&chunked)));

    // Cut short anywhere: the messages are the whole's first ones, and a
    // good file cut after its header still reads well.
    const size_t cut = size == 0 ? 0 : (data[0] * 131u + size * 7u) % size;
    const std::string part = text.substr(0, cut);
    RecordReader cutShort(part, "f", chunk);
    const Reading some = ReadAll(&cutShort);
    const size_t common = std::min(some.messages.size(), all.messages.size());
    for (size_t i = 0; i < common; ++i)
        FUZZ_CHECK(SameMessage(some.messages[i], all.messages[i]));
    if (all.outcome == kRecordRead && part.find('\n') != std::string::npos) {
        FUZZ_CHECK(some.outcome == kRecordRead);
        FUZZ_CHECK(some.messages.size() <= all.messages.size());
    }

    // Read on past bad lines (as velkscope does): what a good file holds is
    // the same; the times never go back; reading resumed at a message's
    // offset gives the same messages from there on.
    RecordReader lenient(text, "f", chunk);
    lenient.SkipBadLines();
    std::vector<RecordedMessage> passed;
    std::vector<uint64_t> offsets;
    RecordedMessage message;
    while (lenient.Next(&message)) {
        FUZZ_CHECK(passed.empty() || message.micros >= passed.back().micros);
        FUZZ_CHECK(lenient.LineOffset() < text.size());
        passed.push_back(message);
        offsets.push_back(lenient.LineOffset());
    }
    if (all.outcome == kRecordRead) {
        FUZZ_CHECK(passed.size() == all.messages.size() && lenient.BadLines() == 0);
        for (size_t i = 0; i < passed.size(); ++i)
            FUZZ_CHECK(SameMessage(passed[i], all.messages[i]));
    }
    if (!passed.empty()) {
        const size_t from = data[0] % passed.size();
        RecordReader resumed(text, "f", chunk);
        resumed.SkipBadLines();
        FUZZ_CHECK(resumed.Resume(offsets[from], passed[from].line - 1, from == 0 ? 0 : passed[from - 1].micros));
        size_t k = from;
        while (resumed.Next(&message)) {
            FUZZ_CHECK(k < passed.size() && SameMessage(message, passed[k]));
            ++k;
        }
        FUZZ_CHECK(k == passed.size());
    }

    // Compressed in members of up to 1 to 64 bytes of text: read the same,
    // offsets included, and a cut anywhere gives the first messages.
    const std::string compressed = Compress(text, 1 + (size == 0 ? 0 : data[0] % 64));
    RecordReader inflated(compressed, "f", chunk);
    FUZZ_CHECK(SameReading(all, ReadAll(&inflated)));
    if (all.outcome == kRecordRead && !passed.empty()) {
        RecordReader again(compressed, "f", chunk);
        for (size_t i = 0; i < passed.size(); ++i) {
            FUZZ_CHECK(again.Next(&message) && again.LineOffset() == offsets[i]);
        }
    }
    ReadCompressed(compressed, chunk, compressed.empty() ? 0 : cut * compressed.size() / std::max<size_t>(size, 1));

    // Through stdio, read once while only the cut part is there, then again
    // from the start once the rest has come: the second pass is the whole.
    GrowingFile grown = { text.data(), cut, 0 };
    cookie_io_functions_t io = { ReadGrowing, nullptr, SeekGrowing, nullptr };
    FILE* file = fopencookie(&grown, "rb", io);
    FUZZ_CHECK(file != nullptr);
    {
        RecordReader reader(file, "f", chunk);
        const Reading first = ReadAll(&reader);
        FUZZ_CHECK(SameReading(some, first));
        grown.written = size;
        FUZZ_CHECK(reader.Rewind());
        FUZZ_CHECK(SameReading(all, ReadAll(&reader)));
    }
    fclose(file);
}
