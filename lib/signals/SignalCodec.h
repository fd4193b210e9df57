// Raw messages to signals and back (where the bits sit: SignalDatabase.h).
// Pure logic: text is decoded through the caller's code pages, the seam of
// common/PayloadText.h, so the GBK decoder stays the system's.
#pragma once
#include <stdint.h>
#include <string>
#include <vector>

#include "signals/SignalDatabase.h"
#include "common/PayloadText.h"

// The decoders of the two encodings a signal file can name.
struct SignalCodePages {
    const CodePage* gbk;
    const CodePage* utf8;
};

struct DecodedSignal {
    const Signal* signal = nullptr;
    bool missing = false;       // no value: the array ends before the field does, or unselected
    bool unselected = false;    // a multiplexed field the payload's selector does not choose
    bool isFloat = false;       // f32 and f64: the raw value is rawFloat
    int64_t raw = 0;            // a u64's bits: above INT64_MAX it reads negative here
    double rawFloat = 0;        // NaN and infinities kept as they came
    double physical = 0;        // raw * scale + offset; bool 0 or 1
    const std::string* enumName = nullptr;   // the enum's name of raw; null when none
    bool belowMin = false, aboveMax = false;
    bool isText = false;        // str fields and string messages
    std::string text;           // PayloadText: UTF-8, no control characters

    // Every member back to the above, of signal, the text's room kept: a
    // flood decodes into the same entries without building them again.
    void Clear(const Signal* of)
    {
        signal = of;
        missing = unselected = isFloat = belowMin = aboveMax = isText = false;
        raw = 0;
        rawFloat = physical = 0;
        enumName = nullptr;
        text.clear();
    }
};

// The message's signals, in the file's order, from the value word (value
// messages) or the payload bytes (the others) into *out (cleared first). A
// multiplexed field the selector does not choose (or that a payload too
// short for the selector has) is unselected and missing, with no value.
void DecodeMessage(const SignalMessage& message, int32_t value, const std::string& bytes,
                   const SignalCodePages& pages, std::vector<DecodedSignal>* out);

// An integer or bool field's raw value from the payload; false when the
// payload ends before the field does. Floats come as their bit pattern.
bool ReadFieldBits(const Signal& field, const std::string& bytes, uint64_t* bits);

// physical -> raw: (physical - offset) / scale rounded to the nearest whole
// raw value (halves away from zero), floats unrounded. Refused, with why in
// *error naming the signal, outside min/max or when the raw value does not
// fit the type and bits.
bool EncodePhysical(const Signal& signal, double physical, SignalRaw* raw, std::string* error);

// The same from text: an enum name, true/false for a bool, or a decimal
// number (sign, fraction and exponent allowed), which may be followed by
// the signal's own unit ("100rpm", "2.41 bar"; another unit is refused). A
// str signal is refused, and a text longer than kMaxSignalValueBytes that
// is no name of the signal's, before it is read as a number.
enum { kMaxSignalValueBytes = 1024 };
bool EncodeSignalText(const Signal& signal, const std::string& text, SignalRaw* raw, std::string* error);

// The word to post for a value message's raw value (an unsigned one above
// 0x7fffffff as its two's complement).
int32_t ValueWord(const SignalRaw& raw);

// UTF-8 text as the bytes of another encoding; false when a character has
// none there. The system's converter (windows/SystemCodePage.h) or a test's.
typedef bool (*TextEncoder)(const std::string& utf8, std::string* bytes);

// A raw value into an array field's bits (a float as its bit pattern); the
// bytes must reach to the field's end. The other bits stay.
void WriteFieldRaw(const Signal& field, const SignalRaw& raw, std::string* bytes);

// An array field's value from text into bytes: a number field's as
// EncodeSignalText takes it; a str field's text in UTF-8, written as it is
// to a utf-8 field and through gbk to a gbk one (ASCII only when gbk is
// null), padded with NULs to its length, or, without one, the rest of the
// payload. The bytes grow to reach the field's end.
bool WriteFieldText(const Signal& field, const std::string& text, TextEncoder gbk, std::string* bytes,
                    std::string* error);

// The selector's raw value in a payload; false for a message without one
// or a payload that ends before it.
bool ReadSelector(const SignalMessage& message, const std::string& bytes, int64_t* raw);

// The selector written so that the payload holds field: left as it is when
// it already chooses the field, else set to the field's first selector
// value. Nothing for a field in every payload; the bytes reach the selector.
void SelectField(const SignalMessage& message, const Signal& field, std::string* bytes);

// An array message's payload from "field=value" assignments (values as
// WriteFieldText takes them). A multiplexed field sets the selector to a
// value that chooses it (the one assigned, if the selector is); fields that
// no one selector value chooses together are refused. The bytes no assignment sets come from base,
// else from the fields' init values (zero without one); the payload is as
// long as base or the message's last field, whichever is longer (a str
// field without length: its text). The message's checksum, unless assigned
// too, is then written over its bytes.
bool BuildArrayPayload(const SignalMessage& message, const std::vector<std::string>& assignments,
                       const std::string& base, std::string* payload, std::string* error,
                       TextEncoder gbk = nullptr);
