#include "client/WindowBatches.h"

namespace {

const int kBatchMessages = 512;   // taken at once from the queue, at most
const int kFrameCheckEvery = 64;  // messages of a batch between asking for a frame

} // namespace

void WindowBatches::OnBusMessage(HWND hwnd, WPARAM wParam, LPARAM lParam)
{
    window_->TakeBusMessage(static_cast<UINT>(wParam), lParam);
    taken_ = 0;
    TakeQueuedMessages(bus_, hwnd, kBatchMessages, nullptr, this);
    window_->FrameIfDue();
}

void WindowBatches::Receive(UINT code, LPARAM dataWord)
{
    window_->TakeBusMessage(code, dataWord);
    if (++taken_ % kFrameCheckEvery == 0)
        window_->FrameIfDue();
}
