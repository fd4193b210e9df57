#include "windows/InputLines.h"

#include "common/FormatText.h"
#include "common/LineSplitter.h"

namespace {

const DWORD kChunkBytes = 1 << 16;
// The queue holds at most this many lines and bytes of them.
const size_t kMaxQueuedLines = 4096;
const size_t kMaxQueuedBytes = 16u << 20;

} // namespace

InputLines::InputLines(DWORD wakeThread, UINT wakeMessage, size_t maxLine)
    : wakeThread_(wakeThread), wakeMessage_(wakeMessage), maxLine_(maxLine), thread_(NULL), queuedBytes_(0),
      wakePosted_(false)
{
    InitializeCriticalSection(&lock_);
    InitializeConditionVariable(&roomFreed_);
}

// The reader may be blocked in ReadFile for good: it is left to the
// process's end, never waited for.
InputLines::~InputLines()
{
    if (thread_ != NULL)
        CloseHandle(thread_);
}

bool InputLines::Start()
{
    thread_ = CreateThread(NULL, 0, ReaderThread, this, 0, NULL);
    return thread_ != NULL;
}

DWORD WINAPI InputLines::ReaderThread(void* self)
{
    static_cast<InputLines*>(self)->Read();
    return 0;
}

void InputLines::Read()
{
    // Each line the splitter cuts goes into the queue.
    struct Pusher : LineSplitter::Handler {
        explicit Pusher(InputLines* owner) : lines(owner) {}
        void Line(uint64_t number, const std::string& line) override
        {
            lines->Push(InputItem{ InputItem::kLine, number, line.size(), line });
        }
        void TooLong(uint64_t number, uint64_t bytes) override
        {
            lines->Push(InputItem{ InputItem::kTooLong, number, bytes, std::string() });
        }
        InputLines* lines;
    } pusher(this);

    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == NULL || input == INVALID_HANDLE_VALUE) {
        Push(InputItem{ InputItem::kEnd, 0, 0, std::string() });
        return;
    }
    LineSplitter splitter(maxLine_);
    std::string chunk(kChunkBytes, '\0');
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(input, &chunk[0], kChunkBytes, &got, NULL)) {
            DWORD error = GetLastError();
            // A pipe whose writer has gone reads as its end.
            if (error != ERROR_BROKEN_PIPE && error != ERROR_HANDLE_EOF) {
                splitter.Finish(&pusher);
                Push(InputItem{ InputItem::kFailed, 0, 0, FormatText("error %lu", error) });
                return;
            }
            got = 0;
        }
        if (got == 0) {
            splitter.Finish(&pusher);
            Push(InputItem{ InputItem::kEnd, 0, 0, std::string() });
            return;
        }
        splitter.Feed(chunk.data(), got, &pusher);
    }
}

void InputLines::Push(InputItem item)
{
    EnterCriticalSection(&lock_);
    while (queue_.size() >= kMaxQueuedLines || queuedBytes_ >= kMaxQueuedBytes)
        SleepConditionVariableCS(&roomFreed_, &lock_, INFINITE);
    queuedBytes_ += item.text.size();
    queue_.push_back(std::move(item));
    bool wake = !wakePosted_;
    wakePosted_ = true;
    LeaveCriticalSection(&lock_);
    if (wake)
        Wake();
}

void InputLines::Take(size_t max, std::deque<InputItem>* items)
{
    EnterCriticalSection(&lock_);
    while (!queue_.empty() && items->size() < max) {
        queuedBytes_ -= queue_.front().text.size();
        items->push_back(std::move(queue_.front()));
        queue_.pop_front();
    }
    // Still more: come back after the bus messages queued meanwhile.
    wakePosted_ = !queue_.empty();
    bool wake = wakePosted_;
    LeaveCriticalSection(&lock_);
    WakeAllConditionVariable(&roomFreed_);
    if (wake)
        Wake();
}

// A thread queue full of bus messages refuses the post: the next push tries
// again, and the taker looks whenever its queue runs empty anyway.
void InputLines::Wake()
{
    if (PostThreadMessageA(wakeThread_, wakeMessage_, 0, 0))
        return;
    EnterCriticalSection(&lock_);
    wakePosted_ = false;
    LeaveCriticalSection(&lock_);
}
