// The log view's model: 40 rows of a ring, the first-line number and the write
// index, plus the row geometry. Pure logic: the control only draws it.
#pragma once
#include <stdint.h>

enum {
    kLogRows = 40,
    kLogSlotBytes = 128,      // 127 bytes of text and a NUL
    kLogRowPitch = 16,        // pixels
    kLogCharWidth = 8,        // pixels per character of the number text
};

struct LogBand { int top; int bottom; };   // pixel rows [top, bottom)

class LineRing {
public:
    LineRing();

    // Stores the first 127 bytes of text in the write slot, advances (wrapping
    // at 40, when the first-line number grows by 40) and blanks the new write
    // slot. Returns the band to repaint: the row written and the one below.
    LogBand Add(const char* text);

    // Blanks every slot, numbering restarts at 0.
    void Clear();

    uint32_t FirstLineNumber() const { return firstLineNumber_; }
    int WriteIndex() const { return writeIndex_; }
    const char* Row(int row) const { return slots_[row]; }
    // The number shown in a row belongs to the row, not to the line stored there.
    uint32_t RowNumber(int row) const { return firstLineNumber_ + static_cast<uint32_t>(row); }

    // Tests only: lets the modulo-2^32 wrap of the numbering be reached without
    // writing 100 million lines.
    void SetFirstLineNumberForTests(uint32_t number);

private:
    uint32_t firstLineNumber_;
    char slots_[kLogRows][kLogSlotBytes];
    int writeIndex_;
};

// "%6u" of number into a 16-byte buffer; returns the character count.
int FormatRowNumber(uint32_t number, char out[16]);

// x of a row's line text: 8 pixels per character of its number text, plus 8.
inline int LineTextX(int numberLength) { return kLogCharWidth * numberLength + kLogCharWidth; }
