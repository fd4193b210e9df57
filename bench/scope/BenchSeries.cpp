#include "bench/scope/BenchSeries.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include <memory>

#include <windows.h>

#include "common/LocalTime.h"
#include "formats/GzipMembers.h"
#include "formats/RecordLine.h"
#include "formats/RecordParts.h"

namespace {

const uint64_t kSplitBytes = 256ull << 20;   // --split 256MiB: the compressed bytes

double Seconds()
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The part being written, as velkctl's RecordSeries and LineFile keep it:
// its own member writer, its header a member of its own.
class PartWriter {
public:
    bool Open(const std::string& name, unsigned number, uint64_t seriesMicros, const WallTime& seriesStart)
    {
        file_ = fopen(name.c_str(), "wb");
        if (file_ == nullptr)
            return false;
        setvbuf(file_, nullptr, _IOFBF, 1 << 20);
        bytes_ = 0;
        hasMessage_ = false;
        micros_ = seriesMicros;
        writer_.reset(new GzipMemberWriter([this](const char* bytes, size_t size) {
            bytes_ += size;
            return fwrite(bytes, 1, size, file_) == size;
        }));
        WallTime partStart = seriesStart;
        partStart.utcMicros += static_cast<int64_t>(seriesMicros);
        writer_->Write(std::string(kRecordHeader) + "\n", 0);
        writer_->Write(FormatStartLine(partStart) + "\n", 0);
        writer_->Write(FormatPartLine(number, seriesMicros, seriesStart) + "\n", 0);
        return writer_->EndMember();
    }

    // As the recorder asks before each message: a part of its header alone takes it.
    bool Full(uint64_t lineBytes) const
    {
        PieceBound split;
        split.bytes = kSplitBytes;
        return StartsNewPiece(split, hasMessage_ ? bytes_ : 0, micros_, lineBytes, 0);
    }

    bool Write(const std::string& line, uint64_t partMicros)
    {
        hasMessage_ = true;
        return writer_->Write(line, partMicros);
    }

    bool Close()
    {
        if (file_ == nullptr)
            return true;
        const bool ended = writer_->EndMember();
        const bool closed = fclose(file_) == 0;
        file_ = nullptr;
        return ended && closed;
    }

    uint64_t Micros() const { return micros_; }
    uint64_t Bytes() const { return bytes_; }

private:
    FILE* file_ = nullptr;
    std::unique_ptr<GzipMemberWriter> writer_;
    uint64_t bytes_ = 0;
    uint64_t micros_ = 0;   // where the part starts in the series
    bool hasMessage_ = false;
};

RecordedMessage MessageOf(uint64_t i, uint64_t spikeAt)
{
    RecordedMessage message;
    message.micros = i * kSeriesStepMicros;
    const int code = static_cast<int>(i % kSeriesCodes);
    message.code = SeriesCode(code);
    const int32_t value = i == spikeAt ? kSeriesSpike : static_cast<int32_t>(1000 * sin(static_cast<double>(i) / 50000.0 + code));
    if (code < 6) {
        message.kind = kValueMessage;
        message.value = value;
    } else {
        message.kind = kArrayPayload;
        message.value = 0;
        message.bytes = std::string{ static_cast<char>(((value + 1000) / 8) & 0xFF), 2, 3 };
    }
    return message;
}

} // namespace

uint32_t SeriesCode(int index)
{
    return index < 6 ? 0x20001000u | static_cast<uint32_t>(index) : 0x30000400u | static_cast<uint32_t>(index);
}

bool MakeBenchSeries(const std::string& folder, unsigned hours, BenchSeries* series)
{
    const uint64_t total = static_cast<uint64_t>(hours) * 3600 * kSeriesRate;
    const PartSeries names = SeriesOfFile(folder + "\\run.txt.gz");
    series->firstPart = PartName(names, 1);
    series->spikeAt = total * 7 / 10 / kSeriesCodes * kSeriesCodes + 1;
    const std::string made = folder + "\\made.txt";
    if (FILE* file = fopen(made.c_str(), "r")) {
        unsigned long long messages = 0, bytes = 0, text = 0;
        const bool read = fscanf(file, "%llu %u %llu %llu", &messages, &series->parts, &bytes, &text) == 4;
        fclose(file);
        if (read && messages == total) {
            series->messages = messages;
            series->bytes = bytes;
            series->text = text;
            return true;
        }
    }
    CreateDirectoryA(folder.c_str(), nullptr);
    DeleteFileA(made.c_str());
    WallTime start = {};
    ParseLocalTime("2026-12-08T09:12:03.000+08:00", &start);
    const double began = Seconds();
    PartWriter part;
    unsigned number = 1;
    if (!part.Open(PartName(names, number), number, 0, start)) {
        printf("cannot make %s\n", PartName(names, number).c_str());
        return false;
    }
    series->bytes = series->text = 0;
    for (uint64_t i = 0; i < total; ++i) {
        RecordedMessage message = MessageOf(i, series->spikeAt);
        const uint64_t micros = message.micros;
        message.micros = micros - part.Micros();
        std::string line = FormatRecordLine(message);
        if (part.Full(line.size() + 1)) {
            const bool closed = part.Close();
            series->bytes += part.Bytes();
            ++number;
            if (!closed || !part.Open(PartName(names, number), number, micros, start)) {
                printf("cannot write %s\n", PartName(names, number).c_str());
                return false;
            }
            message.micros = 0;
            line = FormatRecordLine(message);
        }
        line += '\n';
        series->text += line.size();
        if (!part.Write(line, micros - part.Micros())) {
            printf("cannot write %s\n", PartName(names, number).c_str());
            return false;
        }
        if (i % (kSeriesRate * 3600) == kSeriesRate * 3600 - 1) {
            printf("  made %llu h of %u in %.0f s\n", static_cast<unsigned long long>(i / (kSeriesRate * 3600) + 1),
                   hours, Seconds() - began);
            fflush(stdout);
        }
    }
    if (!part.Close())
        return false;
    series->bytes += part.Bytes();
    series->messages = total;
    series->parts = number;
    series->seconds = Seconds() - began;
    FILE* file = fopen(made.c_str(), "w");
    if (file == nullptr)
        return false;
    fprintf(file, "%llu %u %llu %llu\n", static_cast<unsigned long long>(series->messages), series->parts,
            static_cast<unsigned long long>(series->bytes), static_cast<unsigned long long>(series->text));
    return fclose(file) == 0;
}
