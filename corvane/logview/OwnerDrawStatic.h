// The log view: control 1048 of the main dialog, attached by its first data
// exchange. It paints the 40 numbered rows of its line ring on white; each
// AddLine repaints only its band, synchronously.
#pragma once
#include "framework/Framework.h"
#include "logview/LineRing.h"
#include "logview/LogGridFont.h"

class COwnerDrawStatic : public CStatic {
public:
    COwnerDrawStatic();
    ~COwnerDrawStatic() override;

    // Stores the line (its first 127 bytes) and repaints the row written and
    // the row below it before returning.
    void AddLine(const char* text);
    // Empties the ring, numbers from 0 again and repaints the whole view.
    void ClearLines();

    const LineRing& Ring() const { return m_ring; }

protected:
    void OnPaint();
    BOOL OnEraseBkgnd(CDC* pDC);

private:
    void PaintRows(CDC* pDC);

    LineRing m_ring;          // first-line number, the 40 slots, the write index
    CLogGridFont m_gridFont;  // only where the default font is off the grid

    DECLARE_MESSAGE_MAP()
};
