// velkctl session's replay request: a recording posted again as velkctl
// replay posts it (velkctl/Replay.h: the same reader of files, parts and
// gzip, checked whole before anything is posted, and the same schedule), but
// a slice at a time on the session's loop, so that the session goes on
// reading and answering requests meanwhile.
#pragma once
#include <stdint.h>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include "client/BusBinding.h"
#include "formats/Schedule.h"
#include "formats/SeriesReader.h"

class SessionReplay {
public:
    // Messages read or posted in one slice at most, so that a long
    // recording or speed 0 never holds off the bus's messages and requests.
    enum { kSliceMessages = 1000 };

    // id and line: the request's, for its answer.
    SessionReplay(uint64_t id, uint64_t line, double speed) : id_(id), line_(line), speed_(speed) {}

    // The recording's files (a file, or a series by its first part, a glob
    // or its folder); false with why there are none.
    bool Open(const std::string& path, std::string* error);
    // When the next slice is due, on the clock of ClockTicks: at once while
    // the recording is checked, then the next message's deadline.
    uint64_t DueTicks() const { return checking_ ? 0 : due_; }
    // One slice: checks, or posts what is due (posted(message) after each
    // post). True once done, with the answer line (ok, or the reader's or
    // the bus's error) in *answer.
    bool Step(const BusBinding& bus, HWND window, const std::function<void(const RecordedMessage&)>& posted,
              std::string* answer);

private:
    bool Check(std::string* answer);
    bool Post(const BusBinding& bus, HWND window, const std::function<void(const RecordedMessage&)>& posted,
              std::string* answer);
    bool Ended(std::string* answer);
    bool Failed(const std::string& why, std::string* answer);
    bool Next();

    const uint64_t id_;
    const uint64_t line_;
    const double speed_;
    std::vector<std::string> files_;
    std::unique_ptr<SeriesReader> reader_;
    bool checking_ = true;
    RecordingSpan span_;
    std::string notice_;          // the check pass's: what the reader passed over
    size_t parts_ = 0;
    std::unique_ptr<ReplaySchedule> schedule_;
    uint64_t start_ = 0;          // ticks: the first message's deadline
    uint64_t due_ = UINT64_MAX;   // ticks: the pending message's, UINT64_MAX when none is left
    RecordedMessage message_;     // the pending message
    bool trigger_ = false;        // it came after a trigger mark
    uint64_t posted_ = 0, triggers_ = 0, expired_ = 0;
};
