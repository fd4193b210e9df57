#include "velkscope/RecordingPass.h"

#include <utility>

RecordingPass::RecordingPass(FILE* file, const std::string& name, const SignalDatabase* signals,
                             const SignalCodePages& pages, ArrayValue arrayValue)
    : reader_(file, name), signals_(signals), pages_(pages), arrayValue_(arrayValue)
{
    reader_.SkipBadLines();
}

PassBatch RecordingPass::Next(size_t maxMessages)
{
    PassBatch batch;
    std::unordered_map<uint32_t, size_t> latestOf;
    ScopeMessage decoded;
    for (size_t taken = 0; !done_ && taken < maxMessages; ++taken) {
        if (!reader_.Next(&decoded.message)) {
            done_ = true;
            break;
        }
        const RecordedMessage& message = decoded.message;
        index_.Note(reader_.LineOffset(), message.line, message.micros);
        if (reader_.AfterTriggerMark())
            batch.triggers.push_back(message.micros);
        ++messages_;
        DecodeScopeMessage(signals_, pages_, &decoded);
        auto traces = traces_.find(message.code);
        if (traces == traces_.end())
            traces = traces_.emplace(message.code, TracesOfCode(message.code, decoded.known)).first;
        for (size_t signal : traces->second) {
            double value = 0;
            if (TraceValueOfMessage(decoded, signal, arrayValue_, &value))
                batch.samples.push_back(PassSample{ static_cast<int64_t>(message.micros), message.code, signal, value });
        }
        auto latest = latestOf.find(message.code);
        if (latest == latestOf.end()) {
            latestOf.emplace(message.code, batch.latest.size());
            batch.latest.push_back(PassLatest{ decoded, 1 });
        } else {
            // Swapped, not copied: the next message reuses the older one's buffers.
            PassLatest& kept = batch.latest[latest->second];
            std::swap(kept.message, decoded);
            ++kept.count;
        }
    }
    batch.marks = index_.TakeNew();
    batch.bytes = reader_.LineOffset();
    batch.messages = messages_;
    batch.badLines = reader_.BadLines();
    batch.latestBadLine = reader_.LatestBadLine();
    batch.startKnown = reader_.Start(&batch.start);
    batch.done = done_;
    if (done_) {
        batch.notice = reader_.Notice();
        if (reader_.Outcome() != kRecordRead)
            batch.error = reader_.Error();
    }
    return batch;
}
