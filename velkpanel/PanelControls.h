// Which control a signal gets on the automatic panel, and how a slider's
// positions map to physical values. Pure logic.
//
//   a counter or a checksum   a read-out: every send writes it
//   enum                      a drop-down of its names
//   bool, or a 1-bit field    a toggle (its enum's names, if any, on it)
//   a number with min and max a slider, one raw count a step, and an edit box
//   any other number          an edit box
//   a string message, a str   an edit box for text
#pragma once
#include <stdint.h>
#include <string>

#include "signals/SignalDatabase.h"

enum PanelControlKind { kControlSlider, kControlNumber, kControlDropdown, kControlToggle, kControlText, kControlReadout };

PanelControlKind ChooseControl(const Signal& signal);

// A counter or a checksum: written by every send, never set by hand.
bool IsWrittenOnSend(const Signal& signal);

// A toggle's signal: bool, or an integer field of one bit.
bool IsToggleSignal(const Signal& signal);
// What a toggle sends for raw 1 (on) or 0 (off), as the encoder takes it:
// the enum's name for it, true or false for a bool, else its physical value.
std::string ToggleValue(const Signal& signal, bool on);

enum {
    kFloatSliderSteps = 1000,       // a float has no raw counts: its range in this many steps
    kMaxSliderPositions = 0x7fffffff,   // a trackbar's range is an int
};

// Positions 0 to last, the physical value growing with the position. An
// integer signal steps by one raw count, from the raw value nearest min
// whose physical value is not below it to the one nearest max not above
// it, within what its type and bits hold; a float in kFloatSliderSteps
// equal steps from min to max.
// A period as a panel shows it, in the largest unit that holds it whole
// ("2s", "100ms", "250us"); empty for 0 (none yet).
std::string PeriodText(uint64_t micros);

struct SliderScale {
    bool isFloat = false;
    int64_t firstRaw = 0;      // integers: the raw value at position 0
    int64_t direction = 1;     // integers: raw counts a position, -1 for a negative scale
    int last = 0;
    double min = 0, max = 0;   // floats
};

// False for a signal no slider fits: no min or max, an enum, a toggle, text,
// no raw value between the limits, or more than kMaxSliderPositions.
bool MakeSliderScale(const Signal& signal, SliderScale* scale);

// The physical value at a position (clamped to 0..last); for an integer
// exactly raw x scale + offset of its raw value, as the decoder gives it.
double SliderPhysical(const Signal& signal, const SliderScale& scale, int position);

// The position nearest a physical value, clamped to 0..last.
int SliderPosition(const Signal& signal, const SliderScale& scale, double physical);
