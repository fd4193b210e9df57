// Decoded signals as every program shows them. Pure logic.
//
//   motor.speed=148.25 rpm  motor.state=RUNNING  rig.text="就绪"
//   {"motor.speed":148.25,"motor.state":{"name":"RUNNING","raw":2},"rig.text":"就绪"}
#pragma once
#include <string>
#include <vector>

#include "signals/SignalCodec.h"

// The physical value as a number: the raw value's digits for an unscaled
// integer (exact to 64 bits), the fewest digits that read back to it for
// an unscaled float, else at most 15 significant digits (so 2112 x 0.025
// shows 52.8); NaN, inf and -inf as such.
std::string FormatPhysical(const DecodedSignal& decoded);

// The value as a person reads it: "148.25 rpm", the enum's name
// ("RUNNING"), true/false for a bool without one, a text in double quotes,
// "missing" when the array ends before the field, "-" for a multiplexed
// field its payload's selector does not choose. Beyond a limit it adds
// " (below min 0 rpm)" or " (above max 3000 rpm)".
std::string FormatSignalValue(const DecodedSignal& decoded);

// "motor.speed=148.25 rpm".
std::string FormatSignal(const DecodedSignal& decoded);

// The signals of one message, two blanks between; unselected multiplexed
// fields left out (in the JSON too).
std::string FormatSignalsLine(const std::vector<DecodedSignal>& signals);

// monitor --jsonl's "signals" object: name to physical value as a JSON
// number; a signal with an enum as {"name":"RUNNING","raw":2} (name null for
// a raw value the enum lacks); a bool without one true/false; a text as a
// string; NaN and infinities as the strings "NaN", "inf", "-inf"; an
// unscaled integer (or an enum's raw) beyond 2^53, which a double would
// round, as a string of its digits ("18446744073709551615"); a missing
// field null.
std::string FormatSignalsJson(const std::vector<DecodedSignal>& signals);
