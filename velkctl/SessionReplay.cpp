#include "velkctl/SessionReplay.h"

#include "client/InputFile.h"
#include "client/ReceiveLoop.h"
#include "common/FormatText.h"
#include "velk/VelkResults.h"
#include "velkctl/SessionAnswer.h"
#include "windows/Clock.h"

bool SessionReplay::Open(const std::string& path, std::string* error)
{
    if (!FindInputRecording(path, &files_, error))
        return false;
    reader_ = ReadInputRecording(files_);
    return true;
}

bool SessionReplay::Step(const BusBinding& bus, HWND window,
                         const std::function<void(const RecordedMessage&)>& posted, std::string* answer)
{
    return checking_ ? Check(answer) : Post(bus, window, posted, answer);
}

// The check pass, as replay's: nothing is posted from a recording with a bad line.
bool SessionReplay::Check(std::string* answer)
{
    RecordedMessage message;
    for (int read = 0; read < kSliceMessages; ++read) {
        if (reader_->Next(&message)) {
            span_.Add(message.micros);
            continue;
        }
        if (reader_->Outcome() != kRecordRead)
            return Failed(reader_->Error(), answer);
        checking_ = false;
        notice_ = reader_->Notice();
        parts_ = reader_->Parts();
        schedule_.reset(new ReplaySchedule(span_, speed_));
        reader_ = ReadInputRecording(files_);
        start_ = ClockTicks();
        return Next() ? false : Ended(answer);
    }
    return false;
}

bool SessionReplay::Post(const BusBinding& bus, HWND window,
                         const std::function<void(const RecordedMessage&)>& posted, std::string* answer)
{
    for (int sent = 0; sent < kSliceMessages && due_ <= ClockTicks(); ++sent) {
        const int result = PostRecordedMessage(bus, window, message_);
        if (result < 0)
            return Failed(FormatText("the bus refused the message of %s:%llu after %llu posted: %s (%d)",
                                     reader_->PartName().c_str(), static_cast<unsigned long long>(message_.line),
                                     static_cast<unsigned long long>(posted_), VelkResultText(result), result),
                          answer);
        ++posted_;
        triggers_ += trigger_;
        expired_ += message_.expired;
        posted(message_);
        if (!Next())
            return Ended(answer);
    }
    return false;
}

// The next message and its deadline; false after the last one checked (a
// recording still growing is posted as far as it was checked).
bool SessionReplay::Next()
{
    due_ = UINT64_MAX;
    if (posted_ == span_.messages || !reader_->Next(&message_))
        return false;
    trigger_ = reader_->AfterTriggerMark();
    due_ = start_ + MicrosToTicks(schedule_->OffsetMicros(0, message_.micros), ClockTicksPerSecond());
    return true;
}

bool SessionReplay::Ended(std::string* answer)
{
    // The check pass vouched for every line: a fault now is a file changed since.
    if (posted_ != span_.messages)
        return Failed(reader_->PartName() + " changed after it was checked" +
                          (reader_->Error().empty() ? std::string() : ": " + reader_->Error()),
                      answer);
    const SessionReplayCounts counts = { posted_, triggers_, expired_, parts_, ClockMicrosSince(start_), notice_ };
    *answer = FormatReplayAnswer(id_, counts);
    return true;
}

bool SessionReplay::Failed(const std::string& why, std::string* answer)
{
    SessionRequest request;
    request.hasId = true;
    request.id = id_;
    *answer = FormatErrorAnswer(request, FormatText("line %llu: ", static_cast<unsigned long long>(line_)) + why);
    return true;
}
