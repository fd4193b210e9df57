// The log view as it appears on screen: its pixels read back from the control
// while the console runs. The ring itself is tested natively (LineRingTest).
#include "logview/LogGridFont.h"
#include "tests/DrawnPicture.h"
#include "tests/corvane/ConsoleHarness.h"
#include "tests/corvane/FakeBus.h"

#include <gtest/gtest.h>

#include <limits.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>

namespace {

const uint32_t kWhite = 0xFFFFFF;
const uint32_t kMarker = 0xFF0000;   // pure red: never drawn by the view, not even by anti-aliasing

// Copies what the window DC shows. windowArea: the whole window, frame and
// caption included, else the client area. GUI thread only.
Picture Capture(HWND window, bool windowArea)
{
    RECT rect;
    if (windowArea) {
        GetWindowRect(window, &rect);
        OffsetRect(&rect, -rect.left, -rect.top);
    } else {
        GetClientRect(window, &rect);
    }
    HDC windowDC = windowArea ? GetWindowDC(window) : GetDC(window);
    Picture picture = DrawnPicture(windowDC, rect.right, rect.bottom, [&](HDC memory) {
        BitBlt(memory, 0, 0, rect.right, rect.bottom, windowDC, 0, 0, SRCCOPY);
    });
    ReleaseDC(window, windowDC);
    return picture;
}

// Paints the marker over the client area without invalidating anything, so
// whatever the view repaints afterwards shows as not-marker.
void PaintMarker(HWND window)
{
    RECT rect;
    GetClientRect(window, &rect);
    HDC dc = GetDC(window);
    HBRUSH brush = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
    ReleaseDC(window, dc);
}

// Pixels of the band [top, bottom) x [left, right) that are, or are not, of
// the colour.
int Count(const Picture& p, bool equal, uint32_t colour, int top, int bottom, int left = 0, int right = INT_MAX)
{
    int count = 0;
    for (int y = top; y < bottom && y < p.height; ++y)
        for (int x = left; x < right && x < p.width; ++x)
            count += (p.At(x, y) == colour) == equal ? 1 : 0;
    return count;
}
int Matching(const Picture& p, uint32_t colour, int top, int bottom, int left = 0, int right = INT_MAX)
{
    return Count(p, true, colour, top, bottom, left, right);
}
int Differing(const Picture& p, uint32_t colour, int top, int bottom, int left = 0, int right = INT_MAX)
{
    return Count(p, false, colour, top, bottom, left, right);
}

// Leftmost non-white column in a band; -1 when it is all white.
int FirstInk(const Picture& p, int top, int bottom, int left, int right)
{
    for (int x = left; x < right && x < p.width; ++x)
        for (int y = top; y < bottom && y < p.height; ++y)
            if (p.At(x, y) != kWhite)
                return x;
    return -1;
}

std::vector<uint32_t> Block(const Picture& p, int left, int top, int right, int bottom)
{
    std::vector<uint32_t> block;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            block.push_back(p.At(x, y));
    return block;
}

// A BMP a viewer or ImageMagick reads: 32-bit, top row first.
bool SaveBmp(const Picture& p, const char* path)
{
    FILE* file = fopen(path, "wb");
    if (file == nullptr)
        return false;
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = p.width;
    header.biHeight = -p.height;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    BITMAPFILEHEADER fileHeader = {};
    fileHeader.bfType = 0x4D42;   // "BM"
    fileHeader.bfOffBits = sizeof fileHeader + sizeof header;
    fileHeader.bfSize = static_cast<DWORD>(fileHeader.bfOffBits + p.pixels.size() * 4);
    bool written = fwrite(&fileHeader, sizeof fileHeader, 1, file) == 1 &&
                   fwrite(&header, sizeof header, 1, file) == 1 &&
                   fwrite(p.pixels.data(), 4, p.pixels.size(), file) == p.pixels.size();
    fclose(file);
    return written;
}

// The console, bound to the test bus so no message box covers it.
class LogViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dialog_ = console_.WaitForDialog();
        ASSERT_NE(dialog_, nullptr);
        view_ = console_.Control(IDC_LOG);
        // Whatever start-up painting is still pending, done now.
        console_.RunOnGui([&] { RedrawWindow(dialog_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN); });
    }

    void AddLine(const char* text)
    {
        console_.RunOnGui([&] { console_.DialogObject()->m_logView.AddLine(text); });
    }
    void AddLines(int count)
    {
        console_.RunOnGui([&] {
            for (int i = 0; i < count; ++i)
                console_.DialogObject()->m_logView.AddLine("00012 30000405( 11)  01 05 09 00 02 09");
        });
    }
    Picture CaptureView() { return console_.OnGui([&] { return Capture(view_, false); }); }
    void MarkView() { console_.RunOnGui([&] { PaintMarker(view_); }); }
    const LineRing& Ring() { return console_.DialogObject()->m_logView.Ring(); }

    FakeBus bus_;
    ConsoleSession console_;
    HWND dialog_ = nullptr;
    HWND view_ = nullptr;
};

} // namespace

TEST_F(LogViewTest, RowsOnTheGridOnWhite)
{
    AddLine("abc");
    AddLine("[]()");
    Picture p = CaptureView();
    ASSERT_GE(p.height, kLogRows * kLogRowPitch) << "the view shows fewer than 40 rows";

    for (int row = 0; row < kLogRows; ++row) {
        int top = kLogRowPitch * row;
        int bottom = top + kLogRowPitch;
        // "%6u", right-aligned on 8-pixel cells from x 0: one digit in the
        // sixth cell, two digits from the fifth.
        int firstCell = row < 10 ? 5 : 4;
        int numberLeft = FirstInk(p, top, bottom, 0, 56);
        EXPECT_GE(numberLeft, 8 * firstCell) << "row " << row;
        EXPECT_LT(numberLeft, 8 * firstCell + 8) << "row " << row;
        EXPECT_EQ(Differing(p, kWhite, top, bottom, 48, 56), 0) << "row " << row << ": the gap before the text";

        // Text from x 56 in the rows written; the third row, the blank write
        // slot, and the rest show none.
        int textLeft = FirstInk(p, top, bottom, 48, p.width);
        if (row < 2) {
            EXPECT_GE(textLeft, 56) << "row " << row;
            EXPECT_LT(textLeft, 60) << "row " << row;
        } else {
            EXPECT_EQ(textLeft, -1) << "row " << row;
        }
    }
    // 16 pixels apart: the same last digit looks the same in every decade.
    for (int row = 1; row < 10; ++row) {
        std::vector<uint32_t> digit = Block(p, 40, 16 * row, 48, 16 * row + 16);
        for (int decade = 1; decade < 4; ++decade)
            EXPECT_EQ(Block(p, 40, 16 * (row + 10 * decade), 48, 16 * (row + 10 * decade) + 16), digit)
                << "rows " << row << " and " << row + 10 * decade;
    }
    EXPECT_EQ(Differing(p, kWhite, 640, p.height), 0) << "below the last row";
}

TEST_F(LogViewTest, AddLineRepaintsOnlyTheRowWrittenAndTheOneBelow)
{
    MarkView();
    AddLine("first");
    Picture p = CaptureView();
    EXPECT_EQ(Matching(p, kMarker, 0, 32), 0) << "the band of slot 0";
    EXPECT_EQ(Differing(p, kMarker, 32, p.height), 0) << "below it";
    EXPECT_GE(FirstInk(p, 0, 16, 56, p.width), 56) << "the line itself";

    AddLines(38);   // slots 1 to 38
    MarkView();
    AddLine("fortieth");   // slot 39: the band runs past the last row; row 0 is blanked but keeps its picture
    p = CaptureView();
    EXPECT_EQ(Differing(p, kMarker, 0, 624), 0) << "above the band of slot 39";
    EXPECT_EQ(Matching(p, kMarker, 624, 656), 0) << "the band of slot 39";
    EXPECT_EQ(Differing(p, kMarker, 656, p.height), 0) << "below it";
    EXPECT_GE(FirstInk(p, 624, 640, 56, p.width), 56) << "the fortieth line";

    MarkView();
    AddLine("forty-first");   // slot 0 again
    p = CaptureView();
    EXPECT_EQ(Matching(p, kMarker, 0, 32), 0);
    EXPECT_EQ(Differing(p, kMarker, 32, p.height), 0);
    EXPECT_GE(FirstInk(p, 0, 16, 56, p.width), 56) << "row 0: the forty-first line";
    EXPECT_EQ(FirstInk(p, 16, 32, 48, p.width), -1) << "row 1: the blanked write slot";
}

TEST_F(LogViewTest, ClearButtonEmptiesTheRingAndRepaintsEverything)
{
    Picture fresh = CaptureView();
    AddLines(45);
    MarkView();

    console_.Click(IDC_CLEAR);

    EXPECT_TRUE(CaptureView().pixels == fresh.pixels) << "not the picture of a new view";
    console_.RunOnGui([&] {
        EXPECT_EQ(Ring().FirstLineNumber(), 0u);
        EXPECT_EQ(Ring().WriteIndex(), 0);
        for (int row = 0; row < kLogRows; ++row)
            EXPECT_STREQ(Ring().Row(row), "") << "row " << row;
    });
}

TEST_F(LogViewTest, EraseFillsTheClientAreaWhiteAndReportsItErased)
{
    MarkView();
    LRESULT erased = console_.OnGui([&] {
        HDC dc = GetDC(view_);
        LRESULT result = SendMessageW(view_, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        ReleaseDC(view_, dc);
        return result;
    });
    EXPECT_NE(erased, 0);
    Picture p = CaptureView();
    EXPECT_EQ(Differing(p, kWhite, 0, p.height), 0);
}

// Lines delivered by the bus, seen in the dialog as the user sees them. With
// CORVANE_SCREENSHOT=<file.bmp> the dialog's picture is also saved there.
TEST_F(LogViewTest, DeliveredLinesShowInsideTheDialog)
{
    typedef void(__cdecl * SetPayload)(const char* bytes, int length);
    SetPayload setPayload = reinterpret_cast<SetPayload>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"velk.dll"), "fakeSetPayload")));
    ASSERT_NE(setPayload, nullptr);

    const char array[] = { 0x01, 0x05, 0x09, 0x00, 0x02, 0x09, 0x00, 0x00, 0x01, 0x03, 0x03 };
    const char* texts[] = { "Welcome to corvane", "depth 12.5 m\r\n", "\xd6\xd0\xce\xc4 test" };
    const int lines = 36;
    for (int i = 0; i < lines; ++i) {
        switch (i % 4) {
        case 0:
            console_.Send(dialog_, WM_BUS_MESSAGE, 0x10000800 | (i % 8), 1000 + 37 * i);
            break;
        case 1:
            setPayload(texts[i % 3], static_cast<int>(strlen(texts[i % 3])));
            console_.Send(dialog_, WM_BUS_MESSAGE, 0x10000200 | (i % 8), i);
            break;
        case 2:
            setPayload(array, static_cast<int>(sizeof array) - i % 5);
            console_.Send(dialog_, WM_BUS_MESSAGE, 0x30000405, i);
            break;
        default:
            console_.Send(dialog_, WM_BUS_MESSAGE, 0x20001000 | (i % 8), -i);
            break;
        }
    }

    Picture view = CaptureView();
    Picture window = console_.OnGui([&] { return Capture(dialog_, true); });
    RECT windowRect;
    GetWindowRect(dialog_, &windowRect);
    POINT origin = { 0, 0 };
    ClientToScreen(view_, &origin);
    int left = origin.x - windowRect.left;
    int top = origin.y - windowRect.top;
    ASSERT_LE(left + view.width, window.width);
    ASSERT_LE(top + view.height, window.height);

    int differing = 0;
    for (int y = 0; y < view.height; ++y)
        for (int x = 0; x < view.width; ++x)
            differing += window.At(left + x, top + y) != view.At(x, y) ? 1 : 0;
    EXPECT_EQ(differing, 0) << "the dialog hides or overpaints part of the log view";
    for (int row = 0; row < lines; ++row)
        EXPECT_GE(FirstInk(view, 16 * row, 16 * row + 16, 48, view.width), 56) << "row " << row;

    const char* screenshot = getenv("CORVANE_SCREENSHOT");
    if (screenshot != nullptr && *screenshot != '\0') {
        EXPECT_TRUE(SaveBmp(window, screenshot)) << screenshot;
    }
}

TEST(LogGridFont, FitsTheGridWhereTheDefaultFontDoesNot)
{
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);

    // Off the grid: a proportional font, and fixed-pitch cells too tall.
    HFONT proportional = CreateFontA(16, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0,
                                     VARIABLE_PITCH | FF_SWISS, "Arial");
    HFONT tall = CreateFontA(20, 8, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0,
                             FIXED_PITCH | FF_MODERN, "NSimSun");
    HGDIOBJ defaultFont = SelectObject(dc, proportional);
    EXPECT_FALSE(FontFitsLogGrid(dc));
    SelectObject(dc, tall);
    EXPECT_FALSE(FontFitsLogGrid(dc));
    SelectObject(dc, defaultFont);

    bool defaultFits = FontFitsLogGrid(dc);
    CLogGridFont grid;
    HFONT chosen = grid.For(dc);
    EXPECT_EQ(chosen == nullptr, defaultFits) << "a font only where the default does not fit";
    if (chosen != nullptr) {
        SelectObject(dc, chosen);
        EXPECT_TRUE(FontFitsLogGrid(dc));
        SelectObject(dc, defaultFont);
    }
    EXPECT_EQ(grid.For(dc), chosen) << "decided once";

    DeleteObject(proportional);
    DeleteObject(tall);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
}
