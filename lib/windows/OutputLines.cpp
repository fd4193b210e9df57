#include "windows/OutputLines.h"

#include "common/Catalogue.h"
#include "common/FormatText.h"
#include "windows/StopSignal.h"

OutputLines::OutputLines(size_t bound)
    : bound_(bound), thread_(NULL), output_(GetStdHandle(STD_OUTPUT_HANDLE)), waitingLines_(0), writing_(false),
      writingLines_(0), dropped_(0), failed_(false), error_(0)
{
    InitializeCriticalSection(&lock_);
    InitializeConditionVariable(&changed_);
}

// The writer may be blocked in WriteFile for good (a reader that never
// reads): it is left to the process's end, never waited for.
OutputLines::~OutputLines()
{
    if (thread_ != NULL)
        CloseHandle(thread_);
}

bool OutputLines::Start()
{
    thread_ = CreateThread(NULL, 0, WriterThread, this, 0, NULL);
    return thread_ != NULL;
}

DWORD WINAPI OutputLines::WriterThread(void* self)
{
    static_cast<OutputLines*>(self)->WriteOut();
    return 0;
}

void OutputLines::WriteOut()
{
    std::string chunk;
    EnterCriticalSection(&lock_);
    for (;;) {
        while (waiting_.empty())
            SleepConditionVariableCS(&changed_, &lock_, INFINITE);
        chunk.swap(waiting_);
        waiting_.clear();
        writing_ = true;
        writingLines_ = waitingLines_;
        waitingLines_ = 0;
        LeaveCriticalSection(&lock_);

        const char* at = chunk.data();
        size_t left = chunk.size();
        DWORD error = 0;
        while (left > 0) {
            DWORD wrote = 0;
            DWORD asked = left > 0x10000000u ? 0x10000000u : static_cast<DWORD>(left);
            if (!WriteFile(output_, at, asked, &wrote, NULL) || wrote == 0) {
                error = GetLastError();
                break;
            }
            at += wrote;
            left -= wrote;
        }

        EnterCriticalSection(&lock_);
        writing_ = false;
        if (left > 0) {
            failed_ = true;
            error_ = error != 0 ? error : ERROR_WRITE_FAULT;
            waitingLines_ += writingLines_;   // unwritten, as the rest
            writingLines_ = 0;
            WakeAllConditionVariable(&changed_);
            LeaveCriticalSection(&lock_);
            RequestStop();   // the program ends as on Ctrl+C, and says why
            return;
        }
        writingLines_ = 0;
        WakeAllConditionVariable(&changed_);
    }
}

void OutputLines::Queue(const std::string& line)
{
    waiting_ += line;
    waiting_ += '\n';
    ++waitingLines_;
    WakeAllConditionVariable(&changed_);
}

void OutputLines::Write(const std::string& line)
{
    EnterCriticalSection(&lock_);
    if (!failed_)
        Queue(line);
    LeaveCriticalSection(&lock_);
}

bool OutputLines::WriteIfRoom(const std::string& line)
{
    EnterCriticalSection(&lock_);
    bool room = !failed_ && waiting_.size() <= bound_;
    if (room)
        Queue(line);
    else if (!failed_)
        ++dropped_;
    LeaveCriticalSection(&lock_);
    return room;
}

bool OutputLines::Full() const
{
    EnterCriticalSection(&lock_);
    bool full = waiting_.size() > bound_;
    LeaveCriticalSection(&lock_);
    return full;
}

uint64_t OutputLines::Dropped() const
{
    EnterCriticalSection(&lock_);
    uint64_t dropped = dropped_;
    LeaveCriticalSection(&lock_);
    return dropped;
}

bool OutputLines::Failed(std::string* why) const
{
    EnterCriticalSection(&lock_);
    bool failed = failed_;
    DWORD error = error_;
    LeaveCriticalSection(&lock_);
    if (failed && why != NULL)
        *why = error == ERROR_BROKEN_PIPE || error == ERROR_NO_DATA ? std::string(N_("the pipe is closed"))
                                                                    : FormatText("error %lu", error);
    return failed;
}

bool OutputLines::Finish(DWORD graceMs, uint64_t* unwrittenLines)
{
    const DWORD kLookMs = 50;   // how often the stop request is looked at
    DWORD graceLeft = graceMs;
    EnterCriticalSection(&lock_);
    while (!failed_ && (writing_ || !waiting_.empty())) {
        if (StopRequestedByUser()) {
            if (graceLeft == 0)
                break;
            DWORD step = graceLeft < kLookMs ? graceLeft : kLookMs;
            SleepConditionVariableCS(&changed_, &lock_, step);
            graceLeft -= step;
        } else {
            SleepConditionVariableCS(&changed_, &lock_, kLookMs);
        }
    }
    uint64_t left = waitingLines_ + writingLines_;
    LeaveCriticalSection(&lock_);
    *unwrittenLines = left;
    return left == 0;
}
