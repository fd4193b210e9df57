#include "formats/GzipMembers.h"

#include <zlib.h>

#include <algorithm>

#include "common/Catalogue.h"
#include "common/FormatText.h"

namespace {

// windowBits for deflate and inflate: 15, plus 16 for the gzip wrapper.
const int kGzipWindow = 15 + 16;
// Text is compressed in one go; deflate's output leaves in pieces of this.
const size_t kOutPiece = 16 * 1024;

} // namespace

bool NamesCompressedFile(const std::string& path)
{
    return path.size() > 3 && path[path.size() - 3] == '.' && (path[path.size() - 2] | 0x20) == 'g'
        && (path[path.size() - 1] | 0x20) == 'z';
}

bool IsGzipStart(const char* bytes, size_t size)
{
    return size >= 2 && static_cast<unsigned char>(bytes[0]) == 0x1f && static_cast<unsigned char>(bytes[1]) == 0x8b;
}

struct GzipMemberWriter::Stream {
    z_stream z = {};
};

GzipMemberWriter::GzipMemberWriter(ByteSink sink, size_t memberText, uint64_t memberMicros)
    : stream_(new Stream), sink_(std::move(sink))
{
    bound_.bytes = memberText;
    bound_.micros = memberMicros;
    // Level 6 compresses text about five to one and keeps up with a flood.
    failed_ = deflateInit2(&stream_->z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, kGzipWindow, 8, Z_DEFAULT_STRATEGY) != Z_OK;
}

GzipMemberWriter::~GzipMemberWriter()
{
    deflateEnd(&stream_->z);
}

bool GzipMemberWriter::Write(const std::string& lines, uint64_t micros)
{
    if (failed_)
        return false;
    if (open_ && StartsNewPiece(bound_, text_, firstMicros_, lines.size(), micros) && !EndMember())
        return false;
    if (!open_) {
        open_ = true;
        text_ = 0;
        firstMicros_ = micros;
    }
    text_ += lines.size();
    return Deflate(lines.data(), lines.size(), Z_NO_FLUSH);
}

bool GzipMemberWriter::EndOldMember(uint64_t nowMicros)
{
    if (!open_ || !StartsNewPiece(bound_, text_, firstMicros_, 0, nowMicros))
        return !failed_;
    return EndMember();
}

bool GzipMemberWriter::EndMember()
{
    if (failed_ || !open_)
        return !failed_;
    open_ = false;
    if (!Deflate(nullptr, 0, Z_FINISH))
        return false;
    deflateReset(&stream_->z);
    ++members_;
    endedBytes_ = bytesOut_;
    return true;
}

bool GzipMemberWriter::Deflate(const char* bytes, size_t size, int flush)
{
    z_stream& z = stream_->z;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes));
    z.avail_in = static_cast<uInt>(size);
    char out[kOutPiece];
    for (;;) {
        z.next_out = reinterpret_cast<Bytef*>(out);
        z.avail_out = sizeof out;
        const int status = deflate(&z, flush);
        const size_t made = sizeof out - z.avail_out;
        if (made != 0 && !sink_(out, made)) {
            failed_ = true;
            return false;
        }
        bytesOut_ += made;
        if (status == Z_STREAM_END || (flush == Z_NO_FLUSH && z.avail_in == 0 && z.avail_out != 0))
            return true;
        if (status != Z_OK && status != Z_BUF_ERROR) {
            failed_ = true;
            return false;
        }
    }
}

struct GzipInflater::Stream {
    z_stream z = {};
};

GzipInflater::GzipInflater() : stream_(new Stream)
{
    inflateInit2(&stream_->z, kGzipWindow);
}

GzipInflater::~GzipInflater()
{
    inflateEnd(&stream_->z);
}

void GzipInflater::Restart(uint64_t offset, uint64_t textOffset)
{
    inflateReset(&stream_->z);
    offset_ = offset;
    textOffset_ = textOffset;
    inMember_ = false;
    fault_.clear();
}

bool GzipInflater::Inflate(const char* input, size_t size, size_t* used, char* out, size_t room, size_t* wrote)
{
    z_stream& z = stream_->z;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input));
    z.avail_in = static_cast<uInt>(size);
    z.next_out = reinterpret_cast<Bytef*>(out);
    z.avail_out = static_cast<uInt>(room);
    // Input used up, zlib may still hold text for a small room: it is
    // drained until inflate can make no more progress.
    while (fault_.empty() && z.avail_out != 0) {
        if (!inMember_) {
            if (z.avail_in == 0)
                break;
            inMember_ = true;
            if (members_.empty() || offset_ > members_.back().offset)
                members_.push_back(GzipMemberMark{ offset_, textOffset_ });
        }
        const uInt inBefore = z.avail_in, outBefore = z.avail_out;
        const int status = inflate(&z, Z_NO_FLUSH);
        offset_ += inBefore - z.avail_in;
        textOffset_ += outBefore - z.avail_out;
        if (status == Z_STREAM_END) {
            inMember_ = false;
            inflateReset(&z);
        } else if (status != Z_OK && status != Z_BUF_ERROR) {
            fault_ = FormatText(N_("damaged compressed data in the block starting at byte %llu"),
                                static_cast<unsigned long long>(members_.back().offset));
        } else if (status == Z_BUF_ERROR || (inBefore == z.avail_in && outBefore == z.avail_out)) {
            break;
        }
    }
    *used = size - z.avail_in;
    *wrote = room - z.avail_out;
    // The text before the damage is given first, the fault on the next call.
    return fault_.empty() || *wrote != 0;
}

const GzipMemberMark* MemberBefore(const std::vector<GzipMemberMark>& members, uint64_t textOffset)
{
    auto after = std::upper_bound(members.begin(), members.end(), textOffset,
                                  [](uint64_t at, const GzipMemberMark& mark) { return at < mark.textOffset; });
    return after == members.begin() ? nullptr : &*(after - 1);
}
