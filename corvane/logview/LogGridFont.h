// The font the log view draws with. The view places its texts on a fixed grid,
// 8 pixels per character and rows 16 pixels apart, and normally draws in the
// device context's default font, which on Chinese Windows (the 8 x 16 system
// font) fits that grid. Wine's default font under code page 936 does not: it is
// the proportional WenQuanYi Zen Hei, 17 pixels high, so numbers drift off
// their columns and rows overlap. Where the default does not fit, the view
// selects a fixed-pitch font of 8 x 14 cells instead: NSimSun where installed,
// else what the font mapper offers for a fixed-pitch request (under Wine,
// WenQuanYi Zen Hei Mono).
#pragma once
#include <windows.h>

// True when the font selected into dc draws digits, blanks and letters 8
// pixels wide each and is at most 16 pixels high.
bool FontFitsLogGrid(HDC dc);

class CLogGridFont {
public:
    CLogGridFont();
    ~CLogGridFont();
    CLogGridFont(const CLogGridFont&) = delete;
    CLogGridFont& operator=(const CLogGridFont&) = delete;

    // The font to select into dc, or null when dc's default font fits the
    // grid. Decided on the first call, from the font dc holds then.
    HFONT For(HDC dc);

private:
    bool m_decided;
    HFONT m_font;
};
