// What the velkscope tests share: the thread's messages run for a while,
// and the chart as its own paint function draws it.
#pragma once
#include <stdio.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "tests/DrawnPicture.h"

// Runs the thread's messages for ms milliseconds.
inline void PumpMessages(DWORD ms)
{
    DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(1);
    } while (GetTickCount() - start < ms);
}

// What the chart control's paint function draws now (WM_PRINTCLIENT).
inline Picture PaintChart(HWND chart)
{
    RECT client;
    GetClientRect(chart, &client);
    HDC screen = GetDC(chart);
    Picture picture = DrawnPicture(screen, client.right, client.bottom, [chart](HDC memory) {
        ::SendMessageW(chart, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT);
    });
    ReleaseDC(chart, screen);
    return picture;
}

// Files a test writes in the temporary folder, deleted with it.
class TempFiles {
public:
    TempFiles() = default;
    TempFiles(const TempFiles&) = delete;
    TempFiles& operator=(const TempFiles&) = delete;
    ~TempFiles()
    {
        for (const std::wstring& file : files_)
            DeleteFileW(file.c_str());
    }

    std::wstring Write(const wchar_t* name, const std::string& text)
    {
        wchar_t folder[MAX_PATH];
        GetTempPathW(MAX_PATH, folder);
        std::wstring path = std::wstring(folder) + name;
        FILE* file = _wfopen(path.c_str(), L"wb");
        EXPECT_NE(nullptr, file);
        if (file != nullptr) {
            fwrite(text.data(), 1, text.size(), file);
            fclose(file);
        }
        files_.push_back(path);
        return path;
    }

private:
    std::vector<std::wstring> files_;
};
