#include "logview/LogGridFont.h"
#include "logview/LineRing.h"

namespace {

const char kGridFace[] = "NSimSun";

// The characters log lines are mostly made of, and the widest and narrowest
// letters, which give a proportional font away.
const char kProbe[] = "0123456789 ABCDEFabcdef()[]Wi";

// Cells 14 high leave 2 pixels between rows. Under Wine a 15- or 16-pixel
// request lands on WenQuanYi's small strikes, which draw brackets as bars.
const int kGridFontHeight = 14;

HFONT CreateGridFont(HDC dc)
{
    HFONT font = CreateFontA(kGridFontHeight, kLogCharWidth, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN,
                             kGridFace);
    if (font == nullptr)
        return nullptr;
    HGDIOBJ old = SelectObject(dc, font);
    bool fits = FontFitsLogGrid(dc);
    SelectObject(dc, old);
    if (fits)
        return font;
    DeleteObject(font);
    return nullptr;   // nothing better: the default font it is
}

} // namespace

bool FontFitsLogGrid(HDC dc)
{
    TEXTMETRICA metrics;
    if (!GetTextMetricsA(dc, &metrics) || metrics.tmHeight > kLogRowPitch)
        return false;
    for (const char* c = kProbe; *c != '\0'; ++c) {
        SIZE extent;
        if (!GetTextExtentPoint32A(dc, c, 1, &extent) || extent.cx != kLogCharWidth)
            return false;
    }
    return true;
}

CLogGridFont::CLogGridFont()
    : m_decided(false), m_font(nullptr)
{
}

CLogGridFont::~CLogGridFont()
{
    if (m_font != nullptr)
        DeleteObject(m_font);
}

HFONT CLogGridFont::For(HDC dc)
{
    if (!m_decided) {
        m_decided = true;
        if (!FontFitsLogGrid(dc))
            m_font = CreateGridFont(dc);
    }
    return m_font;
}
