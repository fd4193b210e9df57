// How velkctl reads codes and filters. Pure logic.
#include <gtest/gtest.h>

#include "formats/CodeArgument.h"
#include "formats/MessageFilter.h"

namespace {

TEST(CodeArguments, AlwaysHexWithOrWithoutPrefixAndWarnedWhenFieldsAreMissing)
{
    struct Case { const char* text; bool accepted; uint32_t code; };
    const Case cases[] = {
        { "20001001", true, 0x20001001 },   // as monitor prints it: never decimal
        { "0x20001001", true, 0x20001001 },
        { "0X20001001", true, 0x20001001 },
        { "ffffffff", true, 0xFFFFFFFF },
        { "8", true, 0x8 },
        { "0x0", true, 0 },
        { "123456789", false, 0 },          // nine digits
        { "0x", false, 0 },
        { "", false, 0 },
        { "-1", false, 0 },
        { "20001001h", false, 0 },
        { "0x 1", false, 0 },
        { "x1", false, 0 },
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.text);
        uint32_t code = 7;
        std::string error;
        EXPECT_EQ(test.accepted, ParseCodeArgument(test.text, "code", &code, &error));
        EXPECT_EQ(test.accepted ? test.code : 7u, code);
        if (!test.accepted) {
            EXPECT_EQ(0u, error.find(std::string("bad code '") + test.text + "': expected 1 to 8 hex digits"))
                << error;
        }
    }

    EXPECT_EQ("", MissingCodeFieldsWarning(0x20001001));
    EXPECT_EQ("", MissingCodeFieldsWarning(0x80800000));   // stop-all: Write Para and CONTROL
    std::string both = MissingCodeFieldsWarning(5);         // CODE and VALUE swapped
    EXPECT_EQ(0u, both.find("warning: code 00000005 has no direction bit")) << both;
    EXPECT_NE(std::string::npos, both.find("and no type bit")) << both;
    std::string noType = MissingCodeFieldsWarning(0x200000FF);
    EXPECT_EQ(std::string::npos, noType.find("direction")) << noType;
    EXPECT_NE(std::string::npos, noType.find("no subscriber receives it")) << noType;
    EXPECT_NE(std::string::npos, MissingCodeFieldsWarning(0x00800001).find("no direction bit"));
    EXPECT_EQ(std::string::npos, MissingCodeFieldsWarning(0x00800001).find("type bit"));

    EXPECT_EQ(0x200u, TypeBitOfName("str"));
    EXPECT_EQ(0x00800000u, TypeBitOfName("CTL"));
    EXPECT_EQ(0u, TypeBitOfName("STRING"));
    EXPECT_EQ(0u, TypeBitOfName("ST"));
    EXPECT_EQ("DEP+ADC", TypeNamesOf(0x20001801));
    EXPECT_EQ("Read Value+Write Value", DirectionNamesOf(0x30000200));
    EXPECT_EQ("", DirectionNamesOf(0x00000801));

    // What is no code and reads as a name is taken for a signal's.
    EXPECT_TRUE(LooksLikeSignalName("motor.speed"));
    EXPECT_TRUE(LooksLikeSignalName("_x"));
    EXPECT_FALSE(LooksLikeSignalName("beef"));       // a code
    EXPECT_FALSE(LooksLikeSignalName("2000100G"));   // a mistyped code
    EXPECT_FALSE(LooksLikeSignalName(""));
}

MessageFilter Filter(std::initializer_list<const char*> codes, std::initializer_list<uint8_t> channels,
                     uint32_t types)
{
    MessageFilter filter;
    for (const char* text : codes) {
        CodePattern pattern;
        std::string error;
        EXPECT_TRUE(ParseCodePattern(text, &pattern, &error)) << error;
        filter.AddCode(pattern);
    }
    for (uint8_t channel : channels)
        filter.AddChannel(channel);
    filter.AddType(types);
    return filter;
}

TEST(MessageFilters, AnyCodeAndAnyChannelAndAnyTypeWithTheNarrowestSubscription)
{
    const uint32_t all = 0x0080FF00;
    struct Case {
        MessageFilter filter;
        std::vector<uint32_t> passing, failing;
        uint32_t subscription;
        bool canPass;
    };
    const Case cases[] = {
        { Filter({}, {}, 0), { 0, 0xFFFFFFFF }, {}, all, true },
        { Filter({ "20001001" }, {}, 0), { 0x20001001 }, { 0x20001002, 0x30001001 }, 0x1000, true },
        { Filter({ "20001001", "0x30000201" }, {}, 0), { 0x20001001, 0x30000201 }, { 0x30000202 }, 0x1200, true },
        // Only the MASK bits compare: channel 1 of any code, or any code at all.
        { Filter({ "20001001/FF" }, {}, 0), { 0x1, 0x30000201 }, { 0x20001002 }, all, true },
        { Filter({ "1/0" }, {}, 0), { 0, 0x12345678 }, {}, all, true },
        // The type bits of the code left free by the mask: one of DEP and ADC.
        { Filter({ "0/FFFFE7FF" }, {}, 0), { 0x800, 0x1800 }, { 0x801, 0x2000 }, 0x1800, true },
        { Filter({}, { 1, 3 }, 0), { 0x20000801, 0x30000203 }, { 0x20000802 }, all, true },
        { Filter({}, { 0, 255 }, 0), { 0x20000800, 0x200008FF }, { 0x20000801, 0x200008FE, 0x20000A7F }, all, true },
        // A code bit outside the mask, and a type bit the mask frees, change nothing.
        { Filter({ "20000901/FFFFF0FF" }, {}, 0), { 0x20000001, 0x20000F01 }, { 0x20000902, 0x30000901 }, 0x0F00, true },
        { Filter({}, {}, 0x200 | 0x400), { 0x30000201, 0x30000400 }, { 0x20000801 }, 0x600, true },
        // All three kinds must match.
        { Filter({ "20000801/FFFFFF00" }, { 1 }, 0x800), { 0x20000801 }, { 0x20000802, 0x20000901 }, 0x800, true },
        // Nothing the bus delivers can pass: no type bit, or kinds that contradict each other.
        { Filter({ "0" }, {}, 0), { 0 }, { 0x800 }, 0, false },
        { Filter({ "20000801" }, {}, 0x200), {}, { 0x20000801, 0x30000201 }, 0x200, false },
        { Filter({ "20000801/FF" }, { 2 }, 0), {}, { 0x20000801, 0x20000802 }, all, false },
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        SCOPED_TRACE(i);
        const Case& test = cases[i];
        for (uint32_t code : test.passing)
            EXPECT_TRUE(test.filter.Passes(code)) << std::hex << code;
        for (uint32_t code : test.failing)
            EXPECT_FALSE(test.filter.Passes(code)) << std::hex << code;
        EXPECT_EQ(test.subscription, test.filter.SubscriptionMask());
        EXPECT_EQ(test.canPass, test.filter.CanPass());
    }

    CodePattern pattern;
    std::string error;
    EXPECT_TRUE(ParseCodePattern("0x20001001/0XFF", &pattern, &error));
    EXPECT_EQ(0xFFu, pattern.mask);
    EXPECT_FALSE(ParseCodePattern("20001001/", &pattern, &error));
    EXPECT_EQ(0u, error.find("bad code mask ''")) << error;
    EXPECT_FALSE(ParseCodePattern("20001001/FF/1", &pattern, &error));
    EXPECT_FALSE(ParseCodePattern("/FF", &pattern, &error));
    EXPECT_EQ(0u, error.find("bad code ''")) << error;
}

} // namespace
