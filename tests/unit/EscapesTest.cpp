#include <gtest/gtest.h>

#include "common/Escapes.h"

namespace {

// Code page 936 (GBK): 0x81 to 0xFE start a double-byte character.
bool IsGbkLeadByte(unsigned char byte)
{
    return byte >= 0x81 && byte <= 0xFE;
}

TEST(Escapes, UnescapesTheFiveSequences)
{
    struct Case { std::string typed; std::string text; };
    const Case cases[] = {
        { "a\\nb",            "a\nb" },
        { "\\r\\t\\a\\b",     "\r\t\a\b" },
        { "\\n\\n",           "\n\n" },
        { "\\f\\v\\0\\x",     "\\f\\v\\0\\x" },   // not in the table
        { "\\N",              "\\N" },
        { "\\",               "\\" },
        { "n\\",              "n\\" },
        { "\\\\n",            "\\\n" },           // no escaping of the backslash itself
        { "",                 "" },
        // Double-byte characters are stepped over whole: a second byte 0x5C is no backslash.
        { "\xD5\x5Cn",        "\xD5\x5Cn" },         // 誠n
        { "\xB0\x5Ct",        "\xB0\x5Ct" },         // 癨t
        { "\xB1\xED\\n",      "\xB1\xED\n" },        // 表 then a real backslash-n
        { "\xD5\x5C\\n\\t",   "\xD5\x5C\n\t" },      // every pass steps over it
        { "\\\xD5\x5Cn",      "\\\xD5\x5Cn" },       // a backslash before a character
        { "a\xD5",            "a\xD5" },              // a lead byte cut off at the end
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.text, UnescapeText(c.typed, IsGbkLeadByte)) << c.typed;
    EXPECT_EQ(3u, UnescapeText("a\\nb", IsGbkLeadByte).size());
}

TEST(Escapes, EscapesOnlyTheFiveControlCharacters)
{
    struct Case { std::string text; std::string escaped; };
    const Case cases[] = {
        { "hello\tworld",           "hello\\tworld" },
        { "\n\r\t\a\b",             "\\n\\r\\t\\a\\b" },
        { "\f\v\x1b",               "\f\v\x1b" },
        { std::string("a\0b", 3),   std::string("a\0b", 3) },
        { "\\n",                    "\\n" },       // already written out stays
        { "\xB2\xE2\n",             "\xB2\xE2\\n" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.escaped, EscapeControlChars(c.text));
}

TEST(Escapes, InputInMessagesIsShortAndCannotActOnATerminal)
{
    EXPECT_EQ("a\\tb\\x00\\x1b[2J\\x7f\\x1f \xB2\xE2", EscapeForDisplay(std::string("a\tb\0\x1b[2J\x7f\x1f \xB2\xE2", 13)));
    EXPECT_EQ("''", QuoteInput(""));
    const std::string longest(kQuotedInputChars, 'x');
    EXPECT_EQ("'" + longest + "'", QuoteInput(longest));
    EXPECT_EQ("'" + longest + "...' (81 bytes)", QuoteInput(longest + "y"));
    // A megabyte makes a line; an escape is never cut in two.
    EXPECT_EQ("'" + std::string(79, 'x') + "...' (1048655 bytes)", QuoteInput(std::string(79, 'x') + std::string(1 << 20, '\x1b')));
    EXPECT_EQ("'\\n\\n...' (3 bytes)", QuoteInput("\n\n\n", 5));
}

TEST(Escapes, HiddenControlsOfUtf8AreFoundAtTheEdgesOfTheirRanges)
{
    struct Case { const char* utf8; size_t length; unsigned point; };
    const Case cases[] = {
        { "\xc2\x7f", 0, 0 }, { "\xc2\x80", 2, 0x80 }, { "\xc2\x9b", 2, 0x9b }, { "\xc2\x9f", 2, 0x9f },
        { "\xc2\xa0", 0, 0 }, { "\xc3\x80", 0, 0 },
        { "\xe2\x80\xa9", 0, 0 }, { "\xe2\x80\xaa", 3, 0x202a }, { "\xe2\x80\xae", 3, 0x202e },
        { "\xe2\x80\xaf", 0, 0 }, { "\xe2\x81\xa5", 0, 0 }, { "\xe2\x81\xa6", 3, 0x2066 },
        { "\xe2\x81\xa9", 3, 0x2069 }, { "\xe2\x81\xaa", 0, 0 }, { "\xe3\x80\xaa", 0, 0 },
        { "\xc2", 0, 0 }, { "\xe2\x80", 0, 0 },   // cut short
    };
    for (const Case& c : cases) {
        unsigned point = 0;
        EXPECT_EQ(c.length, HiddenControlAt(c.utf8, 0, &point)) << c.utf8;
        EXPECT_EQ(c.point, point) << c.utf8;
    }
    EXPECT_EQ("x\\u0080\\x1b\\u2069\xe4\xbd\xa0\\n", EscapeUtf8ForDisplay("x\xc2\x80\x1b\xe2\x81\xa9\xe4\xbd\xa0\n"));
}

TEST(Escapes, EscapingThenUnescapingRestoresTextWithoutBackslashes)
{
    const std::string text = "line one\r\nline\ttwo\a\b\f end";
    EXPECT_EQ(text, UnescapeText(EscapeControlChars(text), IsGbkLeadByte));
}

} // namespace
