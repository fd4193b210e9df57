#include "velkscope/RecordingPass.h"

#include <algorithm>
#include <utility>

RecordingPass::RecordingPass(std::unique_ptr<SeriesReader> reader, const SignalDatabase* signals,
                             const SignalCodePages& pages, ArrayValue arrayValue)
    : reader_(std::move(reader)), signals_(signals), pages_(pages), arrayValue_(arrayValue)
{
    reader_->SkipBadLines();
}

RecordingPass::RecordingPass(FILE* file, const std::string& name, const SignalDatabase* signals,
                             const SignalCodePages& pages, ArrayValue arrayValue)
    : RecordingPass(std::unique_ptr<SeriesReader>(new SeriesReader(file, name)), signals, pages, arrayValue)
{
}

RecordingPass::Code* RecordingPass::CodeOf(uint32_t code, const SignalMessage* known)
{
    Cached& cached = cache_[(code * 2654435761u) >> 26];
    if (cached.entry != nullptr && cached.code == code)
        return cached.entry;
    auto found = codes_.find(code);
    if (found == codes_.end()) {
        if (codes_.size() >= kMaxCodes)
            return nullptr;
        found = codes_.emplace(code, Code{ TracesOfCode(code, known), 0, 0 }).first;
    }
    cached = Cached{ code, &found->second };   // the map's elements stay where they are
    return &found->second;
}

PassBatch RecordingPass::Next(size_t maxMessages)
{
    PassBatch batch;
    ++batches_;
    batch.samples.reserve(std::min<size_t>(maxMessages, 1 << 16));
    ScopeMessage decoded;
    reader_->PauseAtLine(reader_->LinesRead() + kBatchLines);
    for (size_t taken = 0; !done_ && taken < maxMessages && batch.samples.size() < kBatchSamples; ++taken) {
        if (!reader_->Next(&decoded.message)) {
            done_ = reader_->Outcome() != kRecordReading;
            break;
        }
        const RecordedMessage& message = decoded.message;
        index_.Note(*reader_, message.line, message.micros);
        if (reader_->AfterTriggerMark())
            batch.triggers.push_back(message.micros);
        ++messages_;
        DecodeScopeMessage(signals_, pages_, &decoded);
        const MessageFaults faults = CheckScopeMessage(decoded, &checks_);
        Code* listed = CodeOf(message.code, decoded.known);
        if (listed == nullptr) {
            ++batch.unlisted;
            continue;
        }
        Code& entry = *listed;
        for (size_t signal : entry.traces) {
            double value = 0;
            if (TraceValueOfMessage(decoded, signal, arrayValue_, &value))
                batch.samples.push_back(PassSample{ static_cast<int64_t>(message.micros), message.code, signal, value });
        }
        if (entry.batch != batches_) {
            entry.batch = batches_;
            entry.latest = batch.latest.size();
            batch.latest.push_back(PassLatest{ decoded, 1, FaultCounts() });
            batch.latest.back().faults.Add(faults);
        } else {
            // Swapped, not copied: the next message reuses the older one's buffers.
            PassLatest& kept = batch.latest[entry.latest];
            std::swap(kept.message, decoded);
            ++kept.count;
            kept.faults.Add(faults);
        }
    }
    batch.marks = index_.TakeNew();
    batch.bytes = reader_->PartBytes() + reader_->LineOffset();
    batch.fileBytes = reader_->FileBytesRead();
    batch.messages = messages_;
    batch.badLines = reader_->BadLines();
    batch.latestBadLine = reader_->LatestBadLine();
    batch.startKnown = reader_->Start(&batch.start);
    batch.done = done_;
    if (done_) {
        batch.notice = reader_->Notice();
        if (reader_->Outcome() != kRecordRead)
            batch.error = reader_->Error();
    }
    return batch;
}
