// The bus messages of a window whose loop is a dialog's (velkscope,
// velkpanel): the one dispatched and those queued behind it are taken in
// one bounded batch, past the walk each dispatched message makes through
// the framework. Under a flood the queue never empties, and timers and
// paints wait for an empty queue: the window's frames are asked for from
// inside the batch then, so they still come on time.
#pragma once
#include <windows.h>

#include "client/BusBinding.h"
#include "client/ReceiveLoop.h"

class BatchWindow {
public:
    virtual ~BatchWindow() {}
    // One message the bus delivered; its payload is to be fetched now.
    virtual void TakeBusMessage(UINT code, LPARAM dataWord) = 0;
    // A frame (the window's own view of what came), if its pace says one is due.
    virtual void FrameIfDue() = 0;
};

class WindowBatches : private MessageSink {
public:
    // bus and window outlive it.
    WindowBatches(const BusBinding& bus, BatchWindow* window) : bus_(bus), window_(window) {}

    // WM_BUS_MESSAGE to hwnd: that message, then the ones queued behind it.
    void OnBusMessage(HWND hwnd, WPARAM wParam, LPARAM lParam);

private:
    void Receive(UINT code, LPARAM dataWord) override;

    const BusBinding& bus_;
    BatchWindow* window_;
    int taken_ = 0;   // of the batch being taken
};
