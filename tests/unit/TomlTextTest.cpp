#include <gtest/gtest.h>

#include <string>

#include "signals/TomlText.h"

namespace {

std::string DottedKey(int parts)
{
    std::string key = "a";
    for (int i = 1; i < parts; ++i)
        key += ".a";
    return key;
}

std::string Nested(int depth)
{
    return "x = " + std::string(depth, '[') + "1" + std::string(depth, ']') + "\n";
}

} // namespace

TEST(TomlText, DepthIsBoundedBeforeTomlSeesTheText)
{
    TomlProblem problem;
    toml::table root;
    // Dotted keys and headers: the last part allowed, and one more.
    EXPECT_TRUE(ParseTomlText(DottedKey(kMaxTomlKeyParts) + " = 1\n", "t.toml", &root, &problem)) << problem.what;
    EXPECT_TRUE(ParseTomlText("[" + DottedKey(kMaxTomlKeyParts) + "]\n", "t.toml", &root, &problem)) << problem.what;
    EXPECT_FALSE(CheckTomlShape("x = 1\n" + DottedKey(kMaxTomlKeyParts + 1) + " = 1\n", &problem));
    EXPECT_EQ(TomlProblemText("t.toml", problem), "t.toml:2:65: a dotted key or header of more than 32 parts");
    EXPECT_FALSE(CheckTomlShape("[[" + DottedKey(kMaxTomlKeyParts + 1) + "]]\n", &problem));
    // Quoted parts and spaces around the dots count the same; dots in strings and comments do not.
    EXPECT_FALSE(CheckTomlShape(DottedKey(kMaxTomlKeyParts) + " . \"b\" = 1\n", &problem));
    EXPECT_TRUE(CheckTomlShape("k = \"" + DottedKey(1000) + "\"\n# " + DottedKey(1000) + "\n", &problem));
    EXPECT_TRUE(CheckTomlShape("k = '''\n" + DottedKey(1000) + "\n'''\n", &problem));
    // The attack: 50,000 levels, refused rather than overflowing the stack.
    EXPECT_FALSE(ParseTomlText(DottedKey(50000) + " = 1\n", "t.toml", &root, &problem));
    EXPECT_EQ(problem.line, 1u);

    // Arrays and inline tables inside each other.
    EXPECT_TRUE(ParseTomlText(Nested(kMaxTomlNesting), "t.toml", &root, &problem)) << problem.what;
    EXPECT_FALSE(CheckTomlShape(Nested(kMaxTomlNesting + 1), &problem));
    EXPECT_EQ(problem.column, 5u + kMaxTomlNesting);
    std::string tables = "x = ";
    for (int i = 0; i <= kMaxTomlNesting; ++i)
        tables += "{a=";
    EXPECT_FALSE(CheckTomlShape(tables + "1" + std::string(kMaxTomlNesting + 1, '}'), &problem));
}

TEST(TomlText, MemoryIsEstimatedFromTheTextAndBounded)
{
    EXPECT_EQ(EstimateTomlTreeBytes("a = [1, 2, 3]  # [not, counted]\nb = \"[,=]\"\n[t]\n"),
              3u * 176 + 2u * 64 + 2u * 112);
    // A [table] header is a key and a table (and its dot one more of each);
    // [[array]] elements, arrays and inline tables only tables, wherever they stand.
    EXPECT_EQ(EstimateTomlTreeBytes("[t]\n \t[u.v]\n[[w]]\nx = [\n[1],\n{}]\n"),
              4u * 176 + 1u * 64 + 8u * 112);
    // Each dot of a dotted key or header makes a table and its key; a dot in
    // a value (1.5), a string or after an inline table's '=' makes none.
    EXPECT_EQ(EstimateTomlTreeBytes("a.b.c = 1.5\n[t.u]\nx = {p.q = 2, r = [1.5, \"s.t\"]}\n"),
              9u * 176 + 2u * 64 + 7u * 112);
    EXPECT_EQ(EstimateTomlTreeBytes("[[a.b]]\nx = [\n1.5,\n2.5]\ny.z = 1\n"), 4u * 176 + 1u * 64 + 5u * 112);
    // Lines of 31-dot keys (32 keys and 31 tables each) up to the bound, and one line more.
    const std::string dotted = DottedKey(kMaxTomlKeyParts) + "=1\n";
    const size_t lineBytes = 32 * 176 + 31 * 112;
    std::string lines;
    for (size_t i = (static_cast<size_t>(kMaxTomlTreeMiB) << 20) / lineBytes; i > 0; --i)
        lines += dotted;
    TomlProblem problem;
    EXPECT_TRUE(CheckTomlShape(lines, &problem)) << problem.what;
    EXPECT_FALSE(CheckTomlShape(lines + dotted, &problem));
    EXPECT_EQ(problem.what, "too many values: reading it would take about 1024 MiB (at most 1024 MiB)");

    // An array of one-byte values at the bound, and one value more.
    const size_t atBound = (static_cast<size_t>(kMaxTomlTreeMiB) << 20) / 64;
    std::string text(atBound, ',');
    EXPECT_TRUE(CheckTomlShape(text, &problem)) << problem.what;
    text += ",";
    EXPECT_FALSE(CheckTomlShape(text, &problem));
    EXPECT_EQ(TomlProblemText("big.toml", problem),
              "big.toml: too many values: reading it would take about 1024 MiB (at most 1024 MiB)");
    // At the length bound, an estimate past 4 GiB (which a 32-bit size would wrap to 0).
    EXPECT_EQ(static_cast<uint64_t>(kMaxTomlFileBytes) * 64,
              EstimateTomlTreeBytes(std::string(static_cast<size_t>(kMaxTomlFileBytes), ',')));
    // The length bound, before anything is scanned.
    EXPECT_FALSE(CheckTomlShape(std::string(static_cast<size_t>(kMaxTomlFileBytes) + 1, ' '), &problem));
    EXPECT_EQ(problem.what, "longer than 64 MiB");
}
