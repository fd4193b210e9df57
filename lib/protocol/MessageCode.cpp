#include "protocol/MessageCode.h"

#include <string.h>

namespace {

struct WordBit { const char* word; uint32_t bit; };

// In the order the DIR and TYPE combo boxes list them; the first match wins.
const WordBit kDirections[] = {
    { "Read Value",  kDirReadValue },
    { "Write Value", kDirWriteValue },
    { "Read Para",   kDirReadPara },
    { "Write Para",  kDirWritePara },
};

const WordBit kTypes[] = {
    { "Depth",   kTypeDepth },
    { "A/D",     kTypeAD },
    { "Timer",   kTypeTimer },
    { "Counter", kTypeCounter },
    { "WTC",     kTypeWTC },
    { "String",  kTypeString },
    { "Array",   kTypeArray },
    { "ABS",     kTypeABS },
    { "CONTROL", kTypeControl },
};

template <size_t N>
uint32_t BitOfWord(const WordBit (&table)[N], const char* text)
{
    if (text == nullptr)
        return 0;
    for (const WordBit& entry : table) {
        if (strcmp(entry.word, text) == 0)
            return entry.bit;
    }
    return 0;
}

} // namespace

uint32_t DirectionBit(const char* dirText)
{
    return BitOfWord(kDirections, dirText);
}

const char* DirectionWord(uint32_t directionBit)
{
    for (const WordBit& entry : kDirections) {
        if (entry.bit == directionBit)
            return entry.word;
    }
    return nullptr;
}

const TypeName kTypeNames[9] = {
    { "DEP", kTypeDepth },
    { "ADC", kTypeAD },
    { "WTC", kTypeWTC },
    { "CNT", kTypeCounter },
    { "TMR", kTypeTimer },
    { "STR", kTypeString },
    { "ARR", kTypeArray },
    { "CTL", kTypeControl },
    { "ABS", kTypeABS },
};

static_assert((kTypeDepth | kTypeAD | kTypeWTC | kTypeCounter | kTypeTimer | kTypeString | kTypeArray |
               kTypeControl | kTypeABS) == kAllTypeBits, "kAllTypeBits is the nine type bits");

uint32_t TypeBit(const char* typeText)
{
    return BitOfWord(kTypes, typeText);
}

uint32_t ComposeCode(const char* dirText, const char* typeText, uint32_t channel)
{
    // A channel above 255 (left by a failed range check) spills into the type bits on purpose.
    return DirectionBit(dirText) | TypeBit(typeText) | channel;
}

MessageKind ClassifyCode(uint32_t code)
{
    if ((code & kValueDirMask) == 0)
        return kValueMessage;
    if (code & kTypeString)
        return kStringPayload;
    if (code & kTypeArray)
        return kArrayPayload;
    return kValueMessage;
}

const char* MessageKindName(MessageKind kind)
{
    static const char* const kNames[] = { "value", "string", "array" };
    return kNames[kind];
}

bool IsPayloadShapedValue(uint32_t code)
{
    return (code & (kTypeString | kTypeArray)) != 0 && (code & kValueDirMask) != 0;
}
