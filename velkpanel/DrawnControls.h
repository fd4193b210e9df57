// The look of a panel's inputs while the page draws them in their place
// (PanelView parks the windows of every input but the one in use out of
// the page's sight, so that a whole paint costs one window, not hundreds).
// Each draws into rect, in the page's pixels, with the font selected in dc.
#pragma once
#include <stdint.h>

#include <string>

#include <windows.h>

// A received value beyond its signal's limits, and a late message's box.
const COLORREF kBeyondLimits = RGB(0xe0, 0x20, 0x20);

// A panel file's colour (0xRRGGBB) as GDI takes it.
COLORREF RgbColour(uint32_t rgb);
// What a window's text is now.
std::wstring WindowText(HWND window);

// A horizontal trackbar's channel and thumb, where its window puts them.
void DrawTrackbar(HDC dc, const RECT& channel, const RECT& thumb);
// An edit box with a sunken edge; spin: with an up-down inside its right end.
void DrawEditBox(HDC dc, const RECT& rect, const std::wstring& text, bool spin);
// A closed drop-down list showing text.
void DrawDropDown(HDC dc, const RECT& rect, const std::wstring& text);
// A check box with its caption.
void DrawCheckBox(HDC dc, const RECT& rect, const std::wstring& text, bool checked);
// A push button with its caption, up or held down.
void DrawPushButton(HDC dc, const RECT& rect, const std::wstring& text, bool pushed);
