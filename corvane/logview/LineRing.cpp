#include "logview/LineRing.h"

#include <stdio.h>
#include <string.h>

LineRing::LineRing()
    : firstLineNumber_(0), writeIndex_(0)
{
    memset(slots_, 0, sizeof slots_);
}

LogBand LineRing::Add(const char* text)
{
    // Byte cut, even through a double-byte character: the slot holds 127 and a NUL.
    size_t length = 0;
    if (text != nullptr) {
        while (length < kLogSlotBytes - 1 && text[length] != '\0')
            ++length;
        memcpy(slots_[writeIndex_], text, length);
    }
    slots_[writeIndex_][length] = '\0';

    LogBand band = { kLogRowPitch * writeIndex_, kLogRowPitch * writeIndex_ + 2 * kLogRowPitch };

    ++writeIndex_;
    if (writeIndex_ >= kLogRows) {
        firstLineNumber_ += kLogRows;   // unsigned: wraps modulo 2^32
        writeIndex_ = 0;
    }
    // The next slot to be written is always shown blank.
    slots_[writeIndex_][0] = '\0';
    return band;
}

void LineRing::Clear()
{
    for (int row = 0; row < kLogRows; ++row)
        slots_[row][0] = '\0';
    firstLineNumber_ = 0;
    writeIndex_ = 0;
}

void LineRing::SetFirstLineNumberForTests(uint32_t number)
{
    firstLineNumber_ = number;
}

int FormatRowNumber(uint32_t number, char out[16])
{
    return snprintf(out, 16, "%6u", static_cast<unsigned>(number));
}
