#include <gtest/gtest.h>

#include "console/Escapes.h"

namespace {

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
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.text, UnescapeText(c.typed)) << c.typed;
    EXPECT_EQ(3u, UnescapeText("a\\nb").size());
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

TEST(Escapes, EscapingThenUnescapingRestoresTextWithoutBackslashes)
{
    const std::string text = "line one\r\nline\ttwo\a\b\f end";
    EXPECT_EQ(text, UnescapeText(EscapeControlChars(text)));
}

} // namespace
