#include "tests/corvane/ConsoleHarness.h"

#include <gtest/gtest.h>

namespace {

const wchar_t kHelperClass[] = L"CorvaneTestHelper";
const UINT kRunClosure = WM_APP + 1;
const UINT kSignal = WM_APP + 2;
const DWORD kPollMs = 10;

LRESULT CALLBACK HelperProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kRunClosure) {
        try {
            (*reinterpret_cast<const std::function<void()>*>(lParam))();
        } catch (...) {
            return 0;
        }
        return 1;
    }
    if (message == kSignal) {
        SetEvent(reinterpret_cast<HANDLE>(lParam));
        return 0;
    }
    return DefWindowProcW(hWnd, message, wParam, lParam);
}

void RegisterHelperClass()
{
    WNDCLASSW helperClass;
    ZeroMemory(&helperClass, sizeof helperClass);
    helperClass.lpfnWndProc = HelperProc;
    helperClass.hInstance = GetModuleHandleW(nullptr);
    helperClass.lpszClassName = kHelperClass;
    RegisterClassW(&helperClass);   // fails harmlessly when already there
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[64];
    int length = GetClassNameW(window, name, 64);
    return std::wstring(name, length > 0 ? static_cast<size_t>(length) : 0);
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM list)
{
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

// The text of a message box: its one static control that shows text.
std::wstring MessageBoxText(HWND box)
{
    std::vector<HWND> children;
    EnumChildWindows(box, CollectWindow, reinterpret_cast<LPARAM>(&children));
    for (HWND child : children) {
        if (ClassOf(child) != L"Static" || (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            continue;
        wchar_t text[1024];
        int length = GetWindowTextW(child, text, 1024);
        if (length > 0)
            return std::wstring(text, static_cast<size_t>(length));
    }
    return std::wstring();
}

} // namespace

ConsoleSession::ConsoleSession()
    : thread_(nullptr), threadId_(0), ready_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      helper_(nullptr), dialog_(nullptr)
{
    RegisterHelperClass();
    thread_ = CreateThread(nullptr, 0, GuiThread, this, 0, &threadId_);
    if (thread_ == nullptr || WaitForSingleObject(ready_, 10000) != WAIT_OBJECT_0)
        ADD_FAILURE() << "the GUI thread did not start";
}

ConsoleSession::~ConsoleSession()
{
    if (thread_ != nullptr) {
        CloseEverything();
        CloseHandle(thread_);
    }
    CloseHandle(ready_);
}

DWORD WINAPI ConsoleSession::GuiThread(void* param)
{
    ConsoleSession* session = static_cast<ConsoleSession*>(param);
    session->helper_ = CreateWindowExW(0, kHelperClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                       GetModuleHandleW(nullptr), nullptr);
    SetEvent(session->ready_);
    AfxGetApp()->InitInstance();
    DestroyWindow(session->helper_);
    return 0;
}

void ConsoleSession::CloseEverything()
{
    for (int attempt = 0; attempt < 50 && !Ended(); ++attempt) {
        for (HWND box : MessageBoxes())
            PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        for (HWND dialog : ThreadDialogs(true, false))
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        WaitForSingleObject(thread_, 200);
    }
    if (!Ended()) {
        ADD_FAILURE() << "the console did not end; its thread is terminated";
        TerminateThread(thread_, 1);
    }
}

HWND ConsoleSession::WaitForDialog(DWORD timeoutMs)
{
    for (DWORD waited = 0; waited < timeoutMs && !Ended(); waited += kPollMs) {
        HWND dialog = OnGui([] {
            CWnd* mainWnd = AfxGetApp()->m_pMainWnd;
            return mainWnd != nullptr ? mainWnd->m_hWnd : static_cast<HWND>(nullptr);
        });
        if (dialog != nullptr && IsWindowVisible(dialog)) {
            dialog_ = dialog;
            return dialog;
        }
        Sleep(kPollMs);
    }
    return nullptr;
}

CCorvaneDlg* ConsoleSession::DialogObject() const
{
    return static_cast<CCorvaneDlg*>(AfxGetApp()->m_pMainWnd);
}

void ConsoleSession::RunOnGui(const std::function<void()>& work)
{
    DWORD_PTR ran = 0;
    if (Ended() || !SendMessageTimeoutW(helper_, kRunClosure, 0, reinterpret_cast<LPARAM>(&work),
                                        SMTO_NORMAL, 10000, &ran) || ran == 0)
        ADD_FAILURE() << "the closure did not run on the GUI thread";
}

void ConsoleSession::Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    PostMessageW(window, message, wParam, lParam);
}

LRESULT ConsoleSession::Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, 10000, &result))
        ADD_FAILURE() << "message " << message << " was not answered";
    return static_cast<LRESULT>(result);
}

void ConsoleSession::Flush()
{
    if (Ended())
        return;
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    PostMessageW(helper_, kSignal, 0, reinterpret_cast<LPARAM>(done));
    HANDLE waitFor[] = { done, thread_ };
    if (WaitForMultipleObjects(2, waitFor, FALSE, 10000) == WAIT_TIMEOUT)
        ADD_FAILURE() << "the GUI thread did not take its posted messages";
    CloseHandle(done);
}

void ConsoleSession::Click(int id)
{
    Post(Control(id), BM_CLICK, 0, 0);
    Flush();
}

void ConsoleSession::PressKey(HWND window, WPARAM key)
{
    UINT scanCode = MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_VSC);
    Post(window, WM_KEYDOWN, key, 1 | (static_cast<LPARAM>(scanCode) << 16));
    Post(window, WM_KEYUP, key, 1 | (static_cast<LPARAM>(scanCode) << 16) | (3L << 30));
    Flush();
    Flush();   // the characters TranslateMessage posted meanwhile
}

void ConsoleSession::SetText(int id, const wchar_t* text)
{
    Send(Control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

std::wstring ConsoleSession::Text(HWND window) const
{
    int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    length = GetWindowTextW(window, &text[0], length + 1);
    text.resize(length > 0 ? static_cast<size_t>(length) : 0);
    return text;
}

HWND ConsoleSession::FocusedWindow() const
{
    GUITHREADINFO info;
    ZeroMemory(&info, sizeof info);
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(threadId_, &info) ? info.hwndFocus : nullptr;
}

std::vector<HWND> ConsoleSession::ThreadDialogs(bool ours, bool visibleOnly) const
{
    std::vector<HWND> windows;
    EnumThreadWindows(threadId_, CollectWindow, reinterpret_cast<LPARAM>(&windows));
    std::vector<HWND> dialogs;
    for (HWND window : windows) {
        if (ClassOf(window) != L"#32770" || (visibleOnly && !IsWindowVisible(window)))
            continue;
        if ((CWnd::FromHandlePermanent(window) != nullptr) == ours)
            dialogs.push_back(window);
    }
    return dialogs;
}

std::vector<HWND> ConsoleSession::MessageBoxes() const
{
    return ThreadDialogs(false);
}

std::vector<HWND> ConsoleSession::OtherDialogs() const
{
    std::vector<HWND> dialogs;
    for (HWND dialog : ThreadDialogs(true)) {
        if (dialog != dialog_)
            dialogs.push_back(dialog);
    }
    return dialogs;
}

MessageBoxInfo ConsoleSession::WaitForMessageBox(DWORD timeoutMs)
{
    MessageBoxInfo info = { nullptr, std::wstring(), std::wstring() };
    for (DWORD waited = 0; waited < timeoutMs && !Ended(); waited += kPollMs) {
        std::vector<HWND> boxes = MessageBoxes();
        if (!boxes.empty()) {
            info.window = boxes.front();
            info.text = MessageBoxText(info.window);
            info.caption = Text(info.window);
            return info;
        }
        Sleep(kPollMs);
    }
    return info;
}

void ConsoleSession::DismissMessageBox(HWND box)
{
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    for (DWORD waited = 0; waited < 5000 && IsWindow(box); waited += kPollMs)
        Sleep(kPollMs);
    if (IsWindow(box))
        ADD_FAILURE() << "the message box did not close";
    Flush();
}

bool ConsoleSession::WaitUntilEnded(DWORD timeoutMs)
{
    return thread_ != nullptr && WaitForSingleObject(thread_, timeoutMs) == WAIT_OBJECT_0;
}

bool ConsoleSession::Ended() const
{
    return thread_ == nullptr || WaitForSingleObject(thread_, 0) == WAIT_OBJECT_0;
}
