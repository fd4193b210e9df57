// In-process harness of the GUI tests.
//
// The console runs on a GUI thread of its own exactly as corvane.exe runs it:
// the test program's application object (TestApp.cpp) runs InitInstance, which
// runs the main dialog modally. The test body stays on gtest's thread and
// drives the console from outside, as the user, Windows or the bus would:
//
//   FakeBus bus;                          // velk.dll beside the program (FakeBus.h)
//   ConsoleSession console;               // starts InitInstance on the GUI thread
//   HWND dlg = console.WaitForDialog();   // after OnInitDialog, once shown
//   console.Click(IDC_DEP);               // BM_CLICK through the modal loop
//   MessageBoxInfo box = console.WaitForMessageBox();
//   console.DismissMessageBox(box.window);
//   UINT channel = console.OnGui([&] { return console.DialogObject()->m_nChannel; });
//   console.Post(dlg, WM_COMMAND, IDOK, 0);
//   EXPECT_TRUE(console.WaitUntilEnded());
//
// - Post() puts a message in the GUI thread's queue, so it passes the modal
//   loop's PreTranslateMessage like real input; Flush() returns once the GUI
//   thread has taken everything posted before it (or is blocked in a nested
//   loop, e.g. a message box, that took it).
// - Send() is a cross-thread SendMessage: it runs on the GUI thread at once.
// - OnGui()/RunOnGui() run a closure on the GUI thread (a hidden helper window
//   of that thread receives it by SendMessage) and return its result; use them
//   to read fields or call members of the dialog.
// - Message boxes are the GUI thread's #32770 windows that are not our
//   dialogs; WaitForMessageBox returns the first one with its text and caption.
// - The destructor dismisses boxes, closes every dialog with IDCANCEL and
//   waits for InitInstance to return, so a failing test leaves nothing behind.
#pragma once
#include "app/CorvaneDlg.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct MessageBoxInfo {
    HWND window;
    std::wstring text;
    std::wstring caption;
};

class ConsoleSession {
public:
    ConsoleSession();
    ~ConsoleSession();
    ConsoleSession(const ConsoleSession&) = delete;
    ConsoleSession& operator=(const ConsoleSession&) = delete;

    // The main dialog once it is shown; null when it did not appear in time
    // (a message box still open during initialisation, for instance).
    HWND WaitForDialog(DWORD timeoutMs = 10000);
    HWND Dialog() const { return dialog_; }
    HWND Control(int id) const { return GetDlgItem(dialog_, id); }
    // Use only inside OnGui/RunOnGui.
    CCorvaneDlg* DialogObject() const;

    void RunOnGui(const std::function<void()>& work);
    template <typename Work>
    auto OnGui(Work work) -> decltype(work())
    {
        decltype(work()) result{};
        RunOnGui([&] { result = work(); });
        return result;
    }

    void Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Flush();
    // A mouse click on the button through the queue, then Flush.
    void Click(int id);
    // WM_KEYDOWN and WM_KEYUP of the key posted to the window, then Flush.
    void PressKey(HWND window, WPARAM key);
    void SetText(int id, const wchar_t* text);
    std::wstring Text(HWND window) const;
    HWND FocusedWindow() const;

    std::vector<HWND> MessageBoxes() const;
    // The first message box of the GUI thread; window null on timeout.
    MessageBoxInfo WaitForMessageBox(DWORD timeoutMs = 5000);
    // Presses OK and waits until the box is gone.
    void DismissMessageBox(HWND box);
    // Our dialogs other than the main one (the About box), shown ones only.
    std::vector<HWND> OtherDialogs() const;

    // True once InitInstance has returned.
    bool WaitUntilEnded(DWORD timeoutMs = 10000);
    bool Ended() const;

private:
    static DWORD WINAPI GuiThread(void* session);
    void CloseEverything();
    std::vector<HWND> ThreadDialogs(bool ours, bool visibleOnly = true) const;

    HANDLE thread_;
    DWORD threadId_;
    HANDLE ready_;
    HWND helper_;
    HWND dialog_;
};
