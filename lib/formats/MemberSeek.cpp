#include "formats/MemberSeek.h"

#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/FileSeek.h"
#include "formats/GzipMembers.h"
#include "formats/RecordLine.h"

namespace {

// A member's first bytes as GzipMemberWriter's deflate writes them: the
// magic, deflate, no flags, no time, no extra flags (the system byte varies).
const unsigned char kMemberStart[] = { 0x1f, 0x8b, 8, 0, 0, 0, 0, 0, 0 };
// Below this much of the file left between its bounds, the search reads on.
const uint64_t kProbeSpan = 64 * 1024;

bool ReadAt(FILE* file, uint64_t offset, std::vector<char>* bytes, size_t size)
{
    bytes->resize(size);
    if (!SeekFile(file, offset))
        return false;
    bytes->resize(fread(bytes->data(), 1, size, file));
    return !bytes->empty();
}

// The time of the first message in the first `bytes` of text of the member
// at offset; false when what is there inflates to no whole message line
// (no member, a damaged one, or more text needed).
bool FirstMessageIn(FILE* file, uint64_t offset, size_t bytes, uint64_t* micros)
{
    std::vector<char> input;
    if (!ReadAt(file, offset, &input, bytes))
        return false;
    GzipInflater inflater;
    inflater.Restart(offset, 0);
    std::string text(bytes, '\0');
    size_t used = 0, wrote = 0;
    if (!inflater.Inflate(input.data(), input.size(), &used, &text[0], text.size(), &wrote))
        return false;
    text.resize(wrote);
    for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
        std::string line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        RecordedMessage message;
        if (!ParseRecordLine(line, &message).empty())
            return false;
        *micros = message.micros;
        return true;
    }
    return false;
}

// A few lines first: most members' first message is in them.
bool FirstMessageAt(FILE* file, uint64_t offset, uint64_t* micros)
{
    return FirstMessageIn(file, offset, 4096, micros) || FirstMessageIn(file, offset, 2 * kMaxRecordLineBytes, micros);
}

// The first member at or past from and before to, with its first message's time.
bool MemberFrom(FILE* file, uint64_t from, uint64_t to, uint64_t* offset, uint64_t* micros)
{
    std::vector<char> bytes;
    const size_t overlap = sizeof kMemberStart - 1;
    for (uint64_t at = from; at < to; at += bytes.size() - overlap) {
        if (!ReadAt(file, at, &bytes, static_cast<size_t>(kProbeSpan)) || bytes.size() <= overlap)
            return false;
        const char* begin = bytes.data();
        const char* end = begin + bytes.size();
        for (const char* found = begin; (found = static_cast<const char*>(memchr(found, 0x1f, static_cast<size_t>(end - found)))) != nullptr; ++found) {
            const uint64_t candidate = at + static_cast<uint64_t>(found - begin);
            if (candidate >= to)
                return false;
            if (static_cast<size_t>(end - found) >= sizeof kMemberStart && memcmp(found, kMemberStart, sizeof kMemberStart) == 0 &&
                FirstMessageAt(file, candidate, micros)) {
                *offset = candidate;
                return true;
            }
        }
    }
    return false;
}

} // namespace

uint64_t FindMemberBefore(FILE* file, uint64_t after, uint64_t micros)
{
    uint64_t size = 0;
    if (!SizeOfFile(file, &size))
        return 0;
    uint64_t low = after, high = size, best = 0, offset = 0, first = 0;
    while (high > low && high - low > kProbeSpan) {
        const uint64_t middle = low + (high - low) / 2;
        if (!MemberFrom(file, middle, high, &offset, &first) || first >= micros) {
            high = middle;
        } else {
            best = offset;
            low = offset + 1;
        }
    }
    while (MemberFrom(file, low, high, &offset, &first) && first < micros) {
        best = offset;
        low = offset + 1;
    }
    return best;
}
