// Message codes: a 32-bit word of direction bits (28-31), type bits (8-15, 23)
// and a channel (0-7). Pure logic: no windows.h.
#pragma once
#include <stdint.h>

enum : uint32_t {
    kDirReadValue  = 0x10000000,
    kDirWriteValue = 0x20000000,
    kDirReadPara   = 0x40000000,
    kDirWritePara  = 0x80000000,
    kValueDirMask  = 0x30000000,   // both value directions

    kTypeDepth   = 0x00000800,
    kTypeAD      = 0x00001000,
    kTypeTimer   = 0x00004000,
    kTypeCounter = 0x00008000,
    kTypeWTC     = 0x00002000,
    kTypeABS     = 0x00000100,
    kTypeControl = 0x00800000,
    kTypeString  = 0x00000200,
    kTypeArray   = 0x00000400,

    kStringCode  = 0x30000200,     // OR channel
    kArrayCode   = 0x30000400,     // OR channel
    kStopAllCode = 0x80800000,
};

// Every type bit, ORed: a receiver registered with it gets every message.
const uint32_t kAllTypeBits = 0x0080FF00u;

// The nine type bits by the names of the console's check boxes, which
// velkctl's --type and masks use too.
struct TypeName { const char* name; uint32_t bit; };
extern const TypeName kTypeNames[9];   // DEP ADC WTC CNT TMR STR ARR CTL ABS

enum MessageKind { kValueMessage, kStringPayload, kArrayPayload };

// Exact, case-sensitive match against the DIR / TYPE words; 0 when none matches.
uint32_t DirectionBit(const char* dirText);
uint32_t TypeBit(const char* typeText);

// The DIR word of one direction bit ("Write Value" for kDirWriteValue); null
// for anything else.
const char* DirectionWord(uint32_t directionBit);

// DIR bit | TYPE bit | channel, the channel ORed in unmasked.
uint32_t ComposeCode(const char* dirText, const char* typeText, uint32_t channel);

// String is tested before Array; both need a value-direction bit.
MessageKind ClassifyCode(uint32_t code);

// "value", "string" or "array": the kind as velkctl's lines name it.
const char* MessageKindName(MessageKind kind);

// A value send whose code would read as a payload (String or Array with a
// value direction) is refused.
bool IsPayloadShapedValue(uint32_t code);
