#include <gtest/gtest.h>

#include "protocol/MessageCode.h"

namespace {

struct Composition { const char* dir; const char* type; uint32_t channel; uint32_t code; };

TEST(MessageCode, ComposesDirectionTypeAndChannel)
{
    const Composition cases[] = {
        { "Write Value", "Counter", 3,   0x20008003 },
        { "Write Value", "Depth",   1,   0x20000801 },
        { "Read Value",  "A/D",     0,   0x10001000 },
        { "Read Para",   "Timer",   255, 0x400040FF },
        { "Write Para",  "WTC",     7,   0x80002007 },
        { "Read Para",   "String",  0,   0x40000200 },
        { "Write Para",  "Array",   2,   0x80000402 },
        { "Read Value",  "ABS",     0,   0x10000100 },
        { "Write Para",  "CONTROL", 0,   0x80800000 },
    };
    for (const Composition& c : cases)
        EXPECT_EQ(c.code, ComposeCode(c.dir, c.type, c.channel)) << c.dir << " / " << c.type;
}

TEST(MessageCode, WordsMatchExactlyAndCaseSensitively)
{
    const char* const notDirections[] = { "read value", "READ VALUE", "Read Value ", " Read Value",
                                          "Read", "Read Value\n", "", "Write  Value" };
    for (const char* text : notDirections)
        EXPECT_EQ(0u, DirectionBit(text)) << '"' << text << '"';

    const char* const notTypes[] = { "depth", "a/d", "AD", "Control", "string", "ARRAY", "abs", "Depth ", "" };
    for (const char* text : notTypes)
        EXPECT_EQ(0u, TypeBit(text)) << '"' << text << '"';

    EXPECT_EQ(0u, DirectionBit(nullptr));
    EXPECT_EQ(0u, TypeBit(nullptr));

    // Unknown words contribute nothing, the rest still composes.
    EXPECT_EQ(0x00000805u, ComposeCode("read value", "Depth", 5));
    EXPECT_EQ(0x20000005u, ComposeCode("Write Value", "Deep", 5));
    EXPECT_EQ(0x00000009u, ComposeCode("", "", 9));
}

TEST(MessageCode, ChannelIsOredUnmasked)
{
    // 300 = 0x12C carries the ABS bit into the type bits.
    EXPECT_EQ(0x2000092Cu, ComposeCode("Write Value", "Depth", 300));
    EXPECT_EQ(0x0000012Cu, ComposeCode("x", "y", 300));
    // 512 sets the String bit: a value send that is then refused.
    uint32_t code = ComposeCode("Read Value", "Depth", 512);
    EXPECT_EQ(0x10000A00u, code);
    EXPECT_TRUE(IsPayloadShapedValue(code));
}

TEST(MessageCode, ClassifiesStringBeforeArrayAndNeedsValueDirection)
{
    struct Case { uint32_t code; MessageKind kind; };
    const Case cases[] = {
        { 0x30000201, kStringPayload },
        { 0x10000200, kStringPayload },
        { 0x20000200, kStringPayload },
        { 0x10000600, kStringPayload },   // String and Array: String wins
        { 0x30000402, kArrayPayload },
        { 0x20000400, kArrayPayload },
        { 0x40000201, kValueMessage },    // Read Para only
        { 0x80000400, kValueMessage },    // Write Para only
        { 0xC0000600, kValueMessage },
        { 0x00000600, kValueMessage },    // no direction at all
        { 0x30000000, kValueMessage },    // no payload type
        { 0x20000805, kValueMessage },
        { 0x80800000, kValueMessage },
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.kind, ClassifyCode(c.code)) << std::hex << c.code;
}

TEST(MessageCode, RefusesValueSendsShapedLikePayloads)
{
    EXPECT_TRUE(IsPayloadShapedValue(ComposeCode("Read Value", "Array", 0)));
    EXPECT_TRUE(IsPayloadShapedValue(ComposeCode("Write Value", "String", 4)));
    EXPECT_FALSE(IsPayloadShapedValue(ComposeCode("Write Para", "Array", 0)));
    EXPECT_FALSE(IsPayloadShapedValue(ComposeCode("Read Para", "String", 0)));
    EXPECT_FALSE(IsPayloadShapedValue(ComposeCode("Read Value", "Depth", 255)));
    EXPECT_FALSE(IsPayloadShapedValue(ComposeCode("", "String", 0)));
}

} // namespace
