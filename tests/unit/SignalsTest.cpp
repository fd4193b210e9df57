// The signal file: its strict loader, the bits of every field type in both
// byte orders, rounding and limits on the way back, and the texts.
#include <math.h>


#include <gtest/gtest.h>

#include <float.h>

#include "signals/DatabaseResolver.h"
#include "signals/SignalCodec.h"
#include "signals/SignalFile.h"
#include "velkctl/SessionRequest.h"
#include "velkctl/SignalTable.h"
#include "signals/SignalText.h"
#include "tests/FileBytes.h"
#include "tests/unit/LoadSignals.h"

namespace {

// One array message holding one field, as the file would state it.
Signal Field(const std::string& keys)
{
    SignalDatabase database;
    std::vector<std::string> errors = Load("[[message]]\ncode = \"30000401\"\nname = \"a\"\n[[message.field]]\nname = \"f\"\n" + keys, &database);
    EXPECT_TRUE(errors.empty()) << (errors.empty() ? "" : errors[0]);
    return errors.empty() ? database.Messages()[0].signals[0] : Signal();
}

SignalMessage MessageOf(const Signal& field)
{
    SignalMessage message;
    message.kind = kArrayPayload;
    message.name = "a";
    message.signals.push_back(field);
    return message;
}

DecodedSignal DecodeOne(const Signal& field, const std::string& bytes)
{
    SignalMessage message;
    message.kind = kArrayPayload;
    message.signals.push_back(field);
    std::vector<DecodedSignal> decoded;
    DecodeMessage(message, 0, bytes, kPages, &decoded);
    DecodedSignal one = decoded[0];
    one.signal = &field;
    return one;
}

TEST(SignalFile, TheExampleRigLoadsDecodesAndShows)
{
    SignalDatabase database;
    std::vector<std::string> errors = Load(ReadFileText(CORVANE_SIGNALS_EXAMPLE), &database);
    ASSERT_TRUE(errors.empty()) << errors[0];
    EXPECT_EQ("6 messages, 11 signals", SignalSummary(database));
    EXPECT_EQ(100000u, database.FindMessage("motor.speed")->periodMicros);
    ASSERT_NE(nullptr, database.FindCode(0x30000401));
    EXPECT_EQ(nullptr, database.FindCode(0x30000402));
    EXPECT_EQ("pressure", database.FindSignal("pump.status.pressure").signal->fieldName);

    std::vector<DecodedSignal> decoded;
    // mode auto, valve open; temperature -125 in 12 bits (0xf83); pressure 241 big-endian.
    DecodeMessage(*database.FindCode(0x30000401), 0, std::string("\x12\x83\x0f\x00\xf1\x00", 6), kPages, &decoded);
    EXPECT_EQ("pump.status.mode=auto  pump.status.valve=open  pump.status.temperature=-12.5 degC  "
              "pump.status.pressure=2.41 bar", FormatSignalsLine(decoded));
    EXPECT_EQ("{\"pump.status.mode\":{\"name\":\"auto\",\"raw\":2},\"pump.status.valve\":{\"name\":\"open\",\"raw\":1},"
              "\"pump.status.temperature\":-12.5,\"pump.status.pressure\":2.41}", FormatSignalsJson(decoded));
    DecodeMessage(*database.FindCode(0x20001001), 13000, "", kPages, &decoded);
    EXPECT_EQ("motor.speed=3250 rpm (above max 3000 rpm)", FormatSignalsLine(decoded));
    DecodeMessage(*database.FindCode(0x20001002), 7, "", kPages, &decoded);
    EXPECT_EQ("{\"motor.state\":{\"name\":null,\"raw\":7}}", FormatSignalsJson(decoded));
    DecodeMessage(*database.FindCode(0x30000201), 0, "\xbe\xcd\xd0\xf7\n", kPages, &decoded);   // 就绪
    EXPECT_EQ("rig.text=\"\xe5\xb0\xb1\xe7\xbb\xaa\\n\"", FormatSignalsLine(decoded));

    std::string shown, why;
    ASSERT_TRUE(FormatSignalDetail(database, "pump.status.valve", &shown, &why));
    EXPECT_NE(std::string::npos, shown.find("  byte 0     mode bits 0-3, valve bit 4\n"));
    EXPECT_NE(std::string::npos, shown.find("  byte 2     temperature bits 0-3\n"));
    EXPECT_NE(std::string::npos, shown.find("  bytes 3-4  pressure\n"));
    EXPECT_NE(std::string::npos, shown.find("pump.status.temperature  bytes 1-2 bits 0-11 little  i16"));
    EXPECT_FALSE(FormatSignalDetail(database, "pump.stat", &shown, &why));
    EXPECT_EQ("no message or signal 'pump.stat' in the file (did you mean 'pump.status'?)", why);
    EXPECT_NE(std::string::npos, FormatSignalTable(database).find("20001001  value   motor.speed"));
}

TEST(SignalFile, EveryMistakeIsNamedAtItsLineAndColumn)
{
    const std::string head = "[[message]]\ncode = \"30000401\"\nname = \"a\"\n[[message.field]]\nname = \"f\"\n";
    struct Case { std::string text; const char* error; };
    const Case cases[] = {
        { "[[message]]\ncode = \"20001001\"\nname = \"a\"\nscael = 2\n", "f.toml:4:1: unknown key 'scael' (did you mean 'scale'?)" },
        { "[[message]\n", "f.toml:1:11: TOML: " },   // the second ] missing
        { "[[message]]\ncode = \"20001001\"\nname = \"\xff\"\n", "f.toml:3:8: TOML: " },   // no UTF-8
        { "[[message]]\ncode = \"20001001\"\nname = \"a\"\n[[message]]\ncode = \"0x20001001\"\nname = \"b\"\n",
          "f.toml:6:8: code 20001001 is given twice (first at line 1)" },
        { "[[message]]\ncode = \"20001001\"\nname = \"a\"\n[[message]]\ncode = \"20001002\"\nname = \"a\"\n",
          "f.toml:6:8: name 'a' is given twice (first at line 1)" },
        { "[[message]]\ncode = \"2000100g\"\nname = \"a\"\n", "f.toml:2:8: bad code '2000100g'" },
        { "[[message]]\ncode = 20001001\nname = \"a\"\n", "f.toml:2:8: write the code as hex text" },
        { "[[message]]\ncode = \"20001001\"\nname = \"motor speed\"\n", "f.toml:3:8: name 'motor speed' must be" },
        { "[[message]]\ncode = \"20001001\"\nname = \"a\"\nfield = []\n", "f.toml:4:1: key 'field' does not fit a value code (20001001)" },
        { "[[message]]\ncode = \"30000201\"\nname = \"a\"\nunit = \"V\"\n", "f.toml:4:1: key 'unit' does not fit a string code" },
        { "[[message]]\ncode = \"30000401\"\nname = \"a\"\nencoding = \"gbk\"\n", "f.toml:4:1: key 'encoding' does not fit an array" },
        { "[[message]]\ncode = \"20001001\"\nname = \"a\"\nperiod = \"5x\"\n", "f.toml:4:10: bad period: unknown unit" },
        { "[[message]]\ncode = \"20001001\"\nname = \"a\"\nscale = 0\n", "f.toml:4:9: scale must not be 0" },
        { "[[message]]\ncode = \"20001001\"\nname = \"a\"\nmin = 5\nmax = 4\n", "f.toml:5:7: max 4 is below min 5" },
        { "[[message]]\ncode = \"20001001\"\nname = \"a\"\nsigned = false\nenum = { -1 = \"X\" }\n",
          "f.toml:5:10: enum key '-1' is not a raw value of this signal (0 to 4294967295)" },
        { "[[message]]\ncode = \"20001001\"\nname = \"a\"\nenum = { 1 = \"X\", 0x1 = \"Y\" }\n", "f.toml:4:19: enum value 1 given twice" },
        // Free text, but never blank, blank at an end, or a number other than its own value.
        { "[[message]]\ncode = \"20001001\"\nname = \"a\"\nenum = { 1 = \"\" }\n", "f.toml:4:14: enum name '' is empty or only blanks" },
        { "[[message]]\ncode = \"20001001\"\nname = \"a\"\nenum = { 1 = \" \" }\n", "f.toml:4:14: enum name ' ' is empty or only blanks" },
        { "[[message]]\ncode = \"20001001\"\nname = \"a\"\nenum = { 1 = \" on\" }\n", "f.toml:4:14: enum name ' on' begins or ends" },
        { "[[message]]\ncode = \"20001001\"\nname = \"a\"\nenum = { 1 = \"on \" }\n", "f.toml:4:14: enum name 'on ' begins or ends" },
        { "[[message]]\ncode = \"20001001\"\nname = \"a\"\nenum = { 1 = \"2\" }\n",
          "f.toml:4:14: enum name '2' reads as a number other than the value it stands for" },
        { "[[message]]\ncode = \"20001001\"\nname = \"a\"\nscale = 2\nenum = { 1 = \"1\" }\n",
          "f.toml:5:14: enum name '1' reads as a number other than" },
        { head + "byte = 0\ntype = \"u12\"\n", "f.toml:7:8: unknown type 'u12'" },
        { head + "byte = 0\ntype = \"u16\"\n", "f.toml:4:1: field 'f' spans 2 bytes: it needs endian" },
        { head + "byte = 0\nbit = 6\nbits = 3\ntype = \"u8\"\n", "f.toml:4:1: field 'f' spans 2 bytes" },
        { head + "byte = 65535\ntype = \"u16\"\nendian = \"big\"\n", "f.toml:6:8: the field ends at byte 65537, past the 64 KiB" },
        { head + "byte = 65536\ntype = \"u8\"\n", "f.toml:6:8: byte must be a whole number from 0 to 65535" },
        { head + "byte = 0\ntype = \"f32\"\nendian = \"little\"\nenum = { 0 = \"Z\" }\n", "f.toml:9:1: enum does not fit a float field (f32)" },
        { head + "byte = 0\ntype = \"str\"\nunit = \"V\"\n", "f.toml:8:1: key 'unit' does not fit a str field" },
        { head + "byte = 0\ntype = \"i16\"\nbits = 17\nendian = \"big\"\n", "f.toml:8:8: bits must be a whole number from 1 to 16" },
        { head + "byte = 0\ntype = \"u8\"\nbit = 8\n", "f.toml:8:7: bit must be a whole number from 0 to 7" },
        { head + "byte = 0\ntype = \"u8\"\nendian = \"middle\"\n", "f.toml:8:10: endian must be" },
        { head + "byte = 0\ntype = \"u8\"\nbits = 4\n[[message.field]]\nname = \"g\"\nbyte = 0\nbit = 3\ntype = \"bool\"\n",
          "f.toml:9:1: field 'g' overlaps field 'f' in byte 0" },
        { head + "byte = 0\ntype = \"str\"\nlength = 4\n[[message.field]]\nname = \"g\"\nbyte = 3\ntype = \"u8\"\n",
          "f.toml:9:1: field 'g' overlaps field 'f' in byte 3" },
        { head + "byte = 0\ntype = \"u8\"\n[[message.field]]\nname = \"f\"\nbyte = 1\ntype = \"u8\"\n",
          "f.toml:8:1: name 'a.f' is given twice (first at line 4)" },
        { "title = \"rig\"\n", "f.toml:1:1: unknown key 'title' (expected message)" },
        { head + "byte = 0\ntype = \"u8\"\ncovers = 1\n", "f.toml:8:10: covers must be true or false" },
        { head + "byte = 0\ntype = \"u8\"\nbits = 4\n[[message.field]]\nname = \"g\"\nbyte = 0\nbit = 3\ntype = \"bool\"\ncovers = false\n",
          "f.toml:9:1: field 'g' overlaps field 'f' in byte 0" },
        // C1 and the bidirectional overrides in names and units, as any control character.
        { "[[message]]\ncode = \"20001001\"\nname = \"a\"\nunit = \"V\xc2\x9b\"\n", "f.toml:4:8: unit must not hold control characters" },
        { "[[message]]\ncode = \"20001001\"\nname = \"a\"\nenum = { 1 = \"ON\xe2\x80\xae\" }\n",
          "f.toml:4:14: an enum name must not hold control characters" },
        { "[[message]]\ncode = \"20001001\"\nname = \"a\"\nunit = \"\\u2066V\"\n", "f.toml:4:8: unit must not hold" },
        // Where toml++ 3.3's whitespace table has holes: the ends of both.
        { "\xc2\xa1 = 1\n", "f.toml:1:1: TOML: " },
        { "a\xd2\x99 = 1\n", "f.toml:1:2: TOML: " },
        { "[[message]]\n\xef\xac\xa6 = 1\n", "f.toml:2:1: TOML: " },
        { "[[message]]\n\xef\xbb\xbe = 1\n", "f.toml:2:1: TOML: " },
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.text);
        SignalDatabase database;
        std::vector<std::string> errors = Load(test.text, &database);
        ASSERT_FALSE(errors.empty());
        EXPECT_EQ(0u, errors[0].find(test.error)) << errors[0];
        EXPECT_TRUE(database.Messages().empty());
    }
    // Two fields side by side in one byte, and one ending at the last byte, are no mistake.
    SignalDatabase database;
    EXPECT_TRUE(Load("[[message]]\ncode = \"20001001\"\nname = \"a\"\nunit = \"\xc2\xb0" "C\xef\xbb\xbe\" # \xc2\xa1\n", &database).empty());
    EXPECT_TRUE(Load(head + "byte = 65535\ntype = \"u8\"\nbits = 4\n[[message.field]]\nname = \"g\"\nbyte = 65535\nbit = 4\nbits = 4\n"
                     "type = \"u8\"\n", &database).empty());
    // All mistakes are told, up to the bound, then one line says more were left out.
    std::string many;
    for (int i = 0; i < kMaxSignalErrors + 10; ++i)
        many += "[[message]]\ncode = \"2000100" + std::to_string(i % 10) + "\"\nname = \"m" + std::to_string(i) + "\"\nscael = 1\n";
    std::vector<std::string> errors = Load(many, &database);
    ASSERT_EQ(static_cast<size_t>(kMaxSignalErrors + 1), errors.size());
    EXPECT_EQ("f.toml:4:1: unknown key 'scael' (did you mean 'scale'?)", errors[0]);
    EXPECT_EQ("f.toml: more errors left out (the first 50 are shown)", errors.back());
}

// Errors come in the order toml++ hands keys over (sorted); the report keeps
// the first 50 in the file, and says so only when more were found.
TEST(SignalFile, TheFirstFiftyErrorsInTheFileAreShown)
{
    std::string text = "[[message]]\ncode = \"20001001\"\nname = \"a\"\n";
    for (int i = kMaxSignalErrors; i >= 0; --i)   // k50 on line 4, k0 on line 54: found last to first
        text += "k" + std::to_string(i) + " = 1\n";
    SignalDatabase database;
    std::vector<std::string> errors = Load(text, &database);
    ASSERT_EQ(static_cast<size_t>(kMaxSignalErrors + 1), errors.size());
    EXPECT_EQ(0u, errors[0].find("f.toml:4:1: unknown key 'k50'")) << errors[0];
    EXPECT_EQ(0u, errors[kMaxSignalErrors - 1].find("f.toml:53:1: unknown key 'k1'")) << errors[kMaxSignalErrors - 1];
    EXPECT_EQ("f.toml: more errors left out (the first 50 are shown)", errors.back());
    // Exactly the bound: all shown, no such line.
    errors = Load(text.substr(0, text.rfind("k0 = 1\n")), &database);
    ASSERT_EQ(static_cast<size_t>(kMaxSignalErrors), errors.size());
    EXPECT_EQ(0u, errors.back().find("f.toml:53:1: unknown key 'k1'")) << errors.back();

    // An enum's repeated values and names, at the later of the two places.
    errors = Load("[[message]]\ncode = \"20001001\"\nname = \"a\"\nenum = { 2 = \"X\", 1 = \"Y\", 3 = \"X\", 0x2 = \"Z\" }\n",
                  &database);
    ASSERT_EQ(2u, errors.size());
    EXPECT_EQ("f.toml:4:32: enum name 'X' given twice", errors[0]);
    EXPECT_EQ("f.toml:4:37: enum value 2 given twice", errors[1]);

    // A message of 4,096 text fields from byte 0, each overlapping all before it.
    text = "[[message]]\ncode = \"30000401\"\nname = \"a\"\n";
    for (int i = 0; i < kMaxSignalFields; ++i)
        text += "[[message.field]]\nname = \"s" + std::to_string(i) + "\"\nbyte = " + std::to_string(i % 3) + "\ntype = \"str\"\n";
    errors = Load(text, &database);
    ASSERT_EQ(static_cast<size_t>(kMaxSignalErrors + 1), errors.size());
    EXPECT_EQ("f.toml:8:1: field 's1' overlaps field 's0' in byte 1", errors[0]);
    EXPECT_EQ("f.toml:12:1: field 's2' overlaps field 's0' in byte 2", errors[1]);
}

// Whether two fields share a bit, against the loader: random layouts of two
// to four fields in a few bytes, the overlap told bit by bit here.
TEST(SignalFile, OverlappingFieldsAreFoundWhateverTheirLayout)
{
    const char* const kTypes[] = { "u8", "u16", "u32", "i16", "bool", "str" };
    uint32_t seed = 7;
    auto next = [&seed](uint32_t below) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % below;
    };
    int overlapping = 0;
    for (int round = 0; round < 400; ++round) {
        std::string text = "[[message]]\ncode = \"30000401\"\nname = \"a\"\n";
        const int count = 2 + static_cast<int>(next(3));
        for (int i = 0; i < count; ++i) {
            const std::string type = kTypes[next(6)];
            text += "[[message.field]]\nname = \"f" + std::to_string(i) + "\"\nbyte = " + std::to_string(next(4)) +
                    "\ntype = \"" + type + "\"\n";
            if (type == "str") {
                if (next(3) != 0)
                    text += "length = " + std::to_string(1 + next(3)) + "\n";
                continue;
            }
            const unsigned width = type == "bool" ? 1 : type == "u8" ? 8 : type == "u32" ? 32 : 16;
            const unsigned bit = next(8);
            text += "bit = " + std::to_string(bit) + "\n";
            if (type != "bool")
                text += "bits = " + std::to_string(1 + next(width)) + "\n";
            text += next(2) == 0 ? "endian = \"little\"\n" : "endian = \"big\"\n";
        }
        SCOPED_TRACE(text);
        // The layout alone, read back by loading each field by itself.
        std::vector<Signal> fields;
        size_t at = text.find("[[message.field]]");
        while (at != std::string::npos) {
            const size_t end = text.find("[[message.field]]", at + 1);
            std::string one = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
            one = one.substr(one.find('\n', one.find("name")) + 1);
            fields.push_back(Field(one));
            at = end;
        }
        ASSERT_EQ(static_cast<size_t>(count), fields.size());
        auto maskAt = [](const Signal& field, unsigned byte) {
            const unsigned end = field.type == kSignalStr && field.length == 0 ? 16 : field.byte + field.SpanBytes();
            return byte >= field.byte && byte < end ? field.BitsInByte(byte) : 0u;
        };
        auto share = [&](size_t a, size_t b, unsigned byte) { return (maskAt(fields[a], byte) & maskAt(fields[b], byte)) != 0; };
        bool overlaps = false;
        for (size_t a = 0; a < fields.size(); ++a)
            for (size_t b = a + 1; b < fields.size(); ++b)
                for (unsigned byte = 0; byte < 16; ++byte)
                    overlaps = overlaps || share(a, b, byte);
        SignalDatabase database;
        const std::vector<std::string> errors = Load(text, &database);
        ASSERT_EQ(overlaps, !errors.empty()) << (errors.empty() ? "" : errors[0]);
        overlapping += overlaps ? 1 : 0;
        for (const std::string& error : errors) {
            // Each names a field, one before it that it really overlaps, and a byte they share a bit in.
            unsigned later = 0, earlier = 0, byte = 0;
            ASSERT_EQ(3, sscanf(error.c_str() + error.find("field 'f"), "field 'f%u' overlaps field 'f%u' in byte %u",
                                &later, &earlier, &byte)) << error;
            EXPECT_LT(earlier, later) << error;
            EXPECT_TRUE(share(later, earlier, byte)) << error;
        }
    }
    // Both outcomes were tried often.
    EXPECT_GT(overlapping, 100);
    EXPECT_LT(overlapping, 300);
}

TEST(SignalCodec, EveryTypeInBothByteOrdersAtItsLimits)
{
    struct Case { const char* keys; std::string bytes; long long raw; };
    const Case cases[] = {
        { "byte = 0\ntype = \"u8\"\n", "\xff", 255 },
        { "byte = 1\ntype = \"i8\"\n", std::string("\x00\x80", 2), -128 },
        { "byte = 0\ntype = \"u16\"\nendian = \"little\"\n", "\x34\x12", 0x1234 },
        { "byte = 0\ntype = \"u16\"\nendian = \"big\"\n", "\x12\x34", 0x1234 },
        { "byte = 0\ntype = \"i16\"\nendian = \"big\"\n", std::string("\x80\x00", 2), -32768 },
        { "byte = 0\ntype = \"u32\"\nendian = \"little\"\n", "\xff\xff\xff\xff", 4294967295LL },
        { "byte = 0\ntype = \"i32\"\nendian = \"big\"\n", std::string("\x80\x00\x00\x00", 4), -2147483647LL - 1 },
        { "byte = 0\ntype = \"i32\"\nendian = \"little\"\n", "\xff\xff\xff\x7f", 2147483647LL },
        // Packed across bytes: 12 signed bits from bit 4 of byte 0 (little) or the top 12 of bytes 0-1 (big).
        { "byte = 0\nbit = 4\nbits = 12\ntype = \"i16\"\nendian = \"little\"\n", "\x0f\x80", -2048 },
        { "byte = 0\nbit = 4\nbits = 12\ntype = \"i16\"\nendian = \"little\"\n", "\xf0\x7f", 2047 },
        { "byte = 0\nbit = 4\nbits = 12\ntype = \"i16\"\nendian = \"big\"\n", "\x80\x0f", -2048 },
        { "byte = 0\nbit = 4\nbits = 12\ntype = \"i16\"\nendian = \"big\"\n", "\x7f\xf0", 2047 },
        { "byte = 0\nbits = 12\ntype = \"u16\"\nendian = \"big\"\n", "\xfa\xbc", 0xabc },
        { "byte = 0\nbit = 7\nbits = 2\ntype = \"u8\"\nendian = \"little\"\n", "\x80\x01", 3 },
        { "byte = 0\nbit = 7\nbits = 2\ntype = \"u8\"\nendian = \"little\"\n", "\x7f\xfe", 0 },
        { "byte = 0\nbit = 7\nbits = 32\ntype = \"u32\"\nendian = \"big\"\n", "\x7f\xff\xff\xff\x80", 0xffffffffLL },
        { "byte = 0\nbit = 7\ntype = \"bool\"\n", "\x80", 1 },
        { "byte = 0\nbit = 7\ntype = \"bool\"\n", "\x7f", 0 },
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.keys);
        Signal field = Field(test.keys);
        DecodedSignal decoded = DecodeOne(field, test.bytes);
        EXPECT_FALSE(decoded.missing);
        EXPECT_EQ(test.raw, decoded.raw);
        // Back again: the same bytes from zero, the bits around it untouched from a base of ones.
        std::string built, why;
        ASSERT_TRUE(BuildArrayPayload(MessageOf(field), { "f=" + std::to_string(test.raw) }, "", &built, &why)) << why;
        EXPECT_EQ(test.raw, DecodeOne(field, built).raw);
        const std::string ones(test.bytes.size(), '\xff');
        ASSERT_TRUE(BuildArrayPayload(MessageOf(field), { "f=" + std::to_string(test.raw) }, ones, &built, &why));
        EXPECT_EQ(test.raw, DecodeOne(field, built).raw);
        EXPECT_TRUE(DecodeOne(field, test.bytes.substr(0, test.bytes.size() - 1)).missing);
    }
}

TEST(SignalCodec, FloatsKeepNaNAndInfinities)
{
    const Signal f32 = Field("byte = 0\ntype = \"f32\"\nendian = \"big\"\n");
    const Signal f64 = Field("byte = 0\ntype = \"f64\"\nendian = \"little\"\n");
    struct Case { const Signal* field; std::string bytes; const char* text; };
    const Case cases[] = {
        { &f32, std::string("\x7f\xc0\x00\x00", 4), "NaN" },
        { &f32, std::string("\x7f\x80\x00\x00", 4), "inf" },
        { &f32, std::string("\xff\x80\x00\x00", 4), "-inf" },
        { &f32, std::string("\x3d\xcc\xcc\xcd", 4), "0.1" },            // the float nearest 0.1, shortest
        { &f32, std::string("\x7f\x7f\xff\xff", 4), "3.4028235e+38" },
        { &f64, std::string("\x00\x00\x00\x00\x00\x00\xf0\x7f", 8), "inf" },
        { &f64, std::string("\x9a\x99\x99\x99\x99\x99\xb9\x3f", 8), "0.1" },
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.text);
        DecodedSignal decoded = DecodeOne(*test.field, test.bytes);
        EXPECT_EQ(test.text, FormatPhysical(decoded));
        std::vector<DecodedSignal> one(1, decoded);
        const std::string json = FormatSignalsJson(one);
        EXPECT_EQ(isfinite(decoded.physical) ? std::string("{\"a.f\":") + test.text + "}"
                                            : std::string("{\"a.f\":\"") + test.text + "\"}", json);
    }
}

TEST(SignalCodec, EncodingRoundsToNearestAndRefusesWhatDoesNotFit)
{
    SignalRaw raw;
    std::string why;
    const Signal speed = Field("byte = 0\ntype = \"u16\"\nendian = \"little\"\nscale = 0.025\nunit = \"rpm\"\nmin = -1\nmax = 1600\n");
    struct Case { double physical; long long raw; };
    const Case rounded[] = {
        { 52.8, 2112 }, { 0.0125, 1 }, { 0.0124, 0 }, { 1600, 64000 }, { 0.3, 12 }, { 1.0375, 42 },
    };
    for (const Case& test : rounded) {
        SCOPED_TRACE(test.physical);
        ASSERT_TRUE(EncodePhysical(speed, test.physical, &raw, &why)) << why;
        EXPECT_EQ(test.raw, raw.integer);
    }
    EXPECT_FALSE(EncodePhysical(speed, 1600.001, &raw, &why));
    EXPECT_EQ("a.f: 1600.001 rpm is above its max 1600 rpm", why);
    EXPECT_FALSE(EncodePhysical(speed, -1.001, &raw, &why));
    EXPECT_EQ("a.f: -1.001 rpm is below its min -1 rpm", why);
    EXPECT_FALSE(EncodePhysical(speed, -0.5, &raw, &why));     // within min, but raw -20 is no u16
    EXPECT_EQ("a.f: -0.5 rpm is raw -20, which does not fit u16 in 16 bits: 0 to 65535", why);

    const Signal twelve = Field("byte = 0\nbits = 12\ntype = \"i16\"\nendian = \"big\"\n");
    EXPECT_TRUE(EncodeSignalText(twelve, "-2048", &raw, &why));
    EXPECT_EQ(-2048, raw.integer);
    EXPECT_TRUE(EncodeSignalText(twelve, "+2047", &raw, &why));
    EXPECT_FALSE(EncodeSignalText(twelve, "2048", &raw, &why));
    EXPECT_FALSE(EncodeSignalText(twelve, "-2049", &raw, &why));
    EXPECT_TRUE(EncodeSignalText(twelve, "-0.5", &raw, &why));  // halves away from zero
    EXPECT_EQ(-1, raw.integer);

    const Signal state = Field("byte = 0\ntype = \"u8\"\nenum = { 0 = \"STOPPED\", 2 = \"RUNNING\" }\n");
    EXPECT_TRUE(EncodeSignalText(state, "RUNNING", &raw, &why));
    EXPECT_EQ(2, raw.integer);
    EXPECT_FALSE(EncodeSignalText(state, "RUNING", &raw, &why));
    EXPECT_EQ("a.f: 'RUNING' is not a number or one of its names (STOPPED, RUNNING): did you mean 'RUNNING'?", why);
    EXPECT_FALSE(EncodeSignalText(state, "256", &raw, &why));

    // Free text: sent as it is or quoted, shown quoted where a blank or a
    // leading digit would read as something else; a name equal to its own
    // value ("3" for 3 V) reads the same either way.
    SignalDatabase free;
    ASSERT_TRUE(Load("[[message]]\ncode = \"20001001\"\nname = \"m\"\nunit = \"V\"\nenum = { 0 = \"No Fault\", "
                     "1 = \"2 wheel drive\", 3 = \"3\", 4 = \"\u6545\u969c \u4e00\", 5 = \"a=\\\"b\\\"\" }\n",
                     &free).empty());
    const Signal& mode = free.Messages()[0].signals[0];
    const struct { const char* text; long long raw; const char* shown; } named[] = {
        { "No Fault", 0, "m=\"No Fault\"" }, { "\"No Fault\"", 0, "m=\"No Fault\"" },
        { "2 wheel drive", 1, "m=\"2 wheel drive\"" }, { "3", 3, "m=\"3\"" }, { "3 V", 3, "m=\"3\"" },
        { "\"\xe6\x95\x85\xe9\x9a\x9c \xe4\xb8\x80\"", 4, "m=\"\xe6\x95\x85\xe9\x9a\x9c \xe4\xb8\x80\"" },
        { "a=\"b\"", 5, "m=\"a=\"b\"\"" }, { "2", 2, "m=2 V" },
    };
    for (const auto& test : named) {
        ASSERT_TRUE(EncodeSignalText(mode, test.text, &raw, &why)) << test.text << ": " << why;
        EXPECT_EQ(test.raw, raw.integer) << test.text;
        std::vector<DecodedSignal> shown;
        DecodeMessage(free.Messages()[0], static_cast<int32_t>(raw.integer), "", kPages, &shown);
        EXPECT_EQ(test.shown, FormatSignalsLine(shown));
    }
    EXPECT_FALSE(EncodeSignalText(mode, "No  Fault", &raw, &why));
    EXPECT_FALSE(EncodeSignalText(mode, "\"No Fault", &raw, &why));
    std::vector<DecodedSignal> json;
    DecodeMessage(free.Messages()[0], 5, "", kPages, &json);
    EXPECT_EQ("{\"m\":{\"name\":\"a=\\\"b\\\"\",\"raw\":5}}", FormatSignalsJson(json));

    const Signal real = Field("byte = 0\ntype = \"f32\"\nendian = \"little\"\n");
    EXPECT_TRUE(EncodeSignalText(real, "3.4e38", &raw, &why));
    EXPECT_FALSE(EncodeSignalText(real, "3.5e38", &raw, &why));

    SignalDatabase database;
    ASSERT_TRUE(Load("[[message]]\ncode = \"20001001\"\nname = \"w\"\nsigned = false\n", &database).empty());
    const Signal& word = database.Messages()[0].signals[0];
    ASSERT_TRUE(EncodeSignalText(word, "4294967295", &raw, &why));
    EXPECT_EQ(-1, ValueWord(raw));
    EXPECT_FALSE(EncodeSignalText(word, "4294967296", &raw, &why));
    std::vector<DecodedSignal> decoded;
    DecodeMessage(database.Messages()[0], -1, "", kPages, &decoded);
    EXPECT_EQ("w=4294967295", FormatSignalsLine(decoded));
}

// Exact halves round away from zero at small and large values alike, on
// both sides of the tie; a number beyond a double's range says so; a long
// text is refused by its length and quoted cut short.
TEST(SignalCodec, TypedValuesAtTheirEdges)
{
    SignalRaw raw;
    std::string why;
    const Signal milli = Field("byte = 0\ntype = \"i32\"\nendian = \"little\"\nscale = 0.001\n");
    const struct { const char* text; long long raw; } ties[] = {
        { "0.0005", 1 }, { "0.00049", 0 }, { "-0.0005", -1 }, { "0.0015", 2 }, { "0.0025", 3 },
        { "100000.0005", 100000001 }, { "100000.00049", 100000000 }, { "100000.00051", 100000001 },
        { "-100000.0005", -100000001 }, { "-100000.00049", -100000000 }, { "2000000.0005", 2000000001 },
        { "2000000.0004", 2000000000 }, { "-2000000.0005", -2000000001 },
    };
    for (const auto& tie : ties) {
        ASSERT_TRUE(EncodeSignalText(milli, tie.text, &raw, &why)) << why;
        EXPECT_EQ(tie.raw, raw.integer) << tie.text;
    }
    const Signal far = Field("byte = 0\ntype = \"i32\"\nendian = \"little\"\nscale = 0.001\noffset = 1e9\n");
    for (const auto& tie : { std::make_pair("1000100000.0005", 100000001LL), std::make_pair("1000100000.0004", 100000000LL) }) {
        ASSERT_TRUE(EncodeSignalText(far, tie.first, &raw, &why)) << why;
        EXPECT_EQ(tie.second, raw.integer) << tie.first;
    }
    // Where the double's error nears a step, a tie is judged at a quarter step at most.
    const Signal coarse = Field("byte = 0\ntype = \"i32\"\nendian = \"little\"\noffset = 1e15\n");
    ASSERT_TRUE(EncodeSignalText(coarse, "1000000000000000.25", &raw, &why)) << why;
    EXPECT_EQ(0, raw.integer);
    ASSERT_TRUE(EncodeSignalText(coarse, "1000000000000002.5", &raw, &why)) << why;
    EXPECT_EQ(3, raw.integer);

    const Signal real = Field("byte = 0\ntype = \"f64\"\nendian = \"little\"\nunit = \"V\"\n");
    ASSERT_TRUE(EncodeSignalText(real, "1.7976931348623157e308", &raw, &why)) << why;
    EXPECT_EQ(DBL_MAX, raw.real);
    ASSERT_TRUE(EncodeSignalText(real, "-2.2250738585072014e-308 V", &raw, &why)) << why;
    EXPECT_EQ(-DBL_MIN, raw.real);
    for (const char* large : { "1e309", "-1e309", "1.8e308 V", "1e309V" }) {
        EXPECT_FALSE(EncodeSignalText(real, large, &raw, &why));
        EXPECT_EQ(std::string("a.f: '") + large + "' is out of range: a number is at most about 1.8e308", why);
    }
    EXPECT_FALSE(EncodeSignalText(real, "1e-400", &raw, &why));
    EXPECT_EQ("a.f: '1e-400' is out of range: too near 0 to tell from it", why);
    EXPECT_FALSE(EncodeSignalText(real, "2.5e3 mV", &raw, &why));
    EXPECT_EQ("a.f: 'mV' is not its unit: give the number in V, with or without the unit", why);
    EXPECT_FALSE(EncodeSignalText(real, "2.5e", &raw, &why));
    EXPECT_EQ("a.f: 'e' is not its unit: give the number in V, with or without the unit", why);

    // The longest value read, and one byte more refused before it is read.
    const std::string longest = std::string(kMaxSignalValueBytes - 1, '0') + "7";
    ASSERT_TRUE(EncodeSignalText(milli, longest, &raw, &why)) << why;
    EXPECT_EQ(7000, raw.integer);
    EXPECT_FALSE(EncodeSignalText(milli, "0" + longest, &raw, &why));
    EXPECT_EQ("a.f: the value is 1025 bytes, longer than the 1024 a value may have", why);
    EXPECT_FALSE(EncodeSignalText(milli, std::string(200, 'x'), &raw, &why));
    EXPECT_EQ("a.f: '" + std::string(80, 'x') + "...' (200 bytes) is not a number", why);
}

TEST(SignalCodec, ArrayPayloadsFromFieldsOverABase)
{
    SignalDatabase database;
    ASSERT_TRUE(Load(ReadFileText(CORVANE_SIGNALS_EXAMPLE), &database).empty());
    const SignalMessage& pump = *database.FindMessage("pump.status");
    std::string payload, why;
    ASSERT_TRUE(BuildArrayPayload(pump, { "pressure=2.41", "valve=open" }, "", &payload, &why)) << why;
    EXPECT_EQ(std::string("\x10\x00\x00\x00\xf1", 5), payload);
    ASSERT_TRUE(BuildArrayPayload(pump, { "mode=manual", "temperature=-0.1" }, std::string(7, '\xee'), &payload, &why));
    EXPECT_EQ(std::string("\xe1\xff\xef\xee\xee\xee\xee", 7), payload);   // bits 4-7 of byte 2 and the rest kept
    EXPECT_FALSE(BuildArrayPayload(pump, { "pressur=1" }, "", &payload, &why));
    EXPECT_EQ("pump.status: no field 'pressur' (did you mean 'pressure'?)", why);
    EXPECT_FALSE(BuildArrayPayload(pump, { "pressure=10.01" }, "", &payload, &why));
    EXPECT_FALSE(BuildArrayPayload(pump, { "mode=1", "mode=2" }, "", &payload, &why));
    EXPECT_FALSE(BuildArrayPayload(pump, { "mode" }, "", &payload, &why));
}

// A bool is any of its bits set; it takes true, false, 0 and 1, and up to 8 bits.
TEST(SignalCodec, BoolFieldsAtTheirLimits)
{
    const Signal flag = Field("byte = 0\nbit = 1\nbits = 2\ntype = \"bool\"\n");
    for (const auto& bits : { std::make_pair('\x00', 0LL), std::make_pair('\x02', 1LL), std::make_pair('\x04', 1LL),
                              std::make_pair('\x06', 1LL), std::make_pair('\xf9', 0LL) }) {
        const DecodedSignal decoded = DecodeOne(flag, std::string(1, bits.first));
        EXPECT_EQ(bits.second, decoded.raw) << static_cast<int>(bits.first);
        EXPECT_EQ(static_cast<double>(bits.second), decoded.physical);
    }
    SignalRaw raw;
    std::string why;
    ASSERT_TRUE(EncodeSignalText(flag, "true", &raw, &why)) << why;
    EXPECT_EQ(1, raw.integer);
    ASSERT_TRUE(EncodeSignalText(flag, "false", &raw, &why)) << why;
    EXPECT_EQ(0, raw.integer);
    EXPECT_TRUE(EncodeSignalText(flag, "1", &raw, &why));
    EXPECT_FALSE(EncodeSignalText(flag, "2", &raw, &why));
    EXPECT_FALSE(EncodeSignalText(flag, "-1", &raw, &why));
    EXPECT_FALSE(EncodeSignalText(flag, "on", &raw, &why));
    EXPECT_EQ("a.f: 'on' is not a number, true or false", why);
    EXPECT_FALSE(EncodeSignalText(Field("byte = 0\ntype = \"u8\"\n"), "true", &raw, &why));   // only a bool
    std::string payload;
    ASSERT_TRUE(BuildArrayPayload(MessageOf(flag), { "f=true" }, "\xff", &payload, &why)) << why;
    EXPECT_EQ("\xfb", payload);   // its lowest bit set, the other kept
    ASSERT_TRUE(BuildArrayPayload(MessageOf(flag), { "f=false" }, "\xff", &payload, &why)) << why;
    EXPECT_EQ("\xf9", payload);

    SignalDatabase database;
    const std::string head = "[[message]]\ncode = \"30000401\"\nname = \"a\"\n[[message.field]]\nname = \"f\"\nbyte = 0\ntype = \"bool\"\n";
    EXPECT_TRUE(Load(head + "bits = 8\n", &database).empty());
    EXPECT_EQ(0u, Load(head + "bits = 9\n", &database)[0].find("f.toml:8:8: bits must be a whole number from 1 to 8"));
}

// The payload a send builds: as long as its fields need, and at most 64 KiB.
TEST(SignalCodec, ArrayPayloadsReachSixtyFourKiBAndNoFurther)
{
    SignalDatabase database;
    ASSERT_TRUE(Load("[[message]]\ncode = \"30000401\"\nname = \"m\"\n"
                     "[[message.field]]\nname = \"tail\"\nbyte = 65534\ntype = \"str\"\n"
                     "[[message.field]]\nname = \"word\"\nbyte = 3\ntype = \"u16\"\nendian = \"big\"\n"
                     "[[message.field]]\nname = \"four\"\nbyte = 5\ntype = \"str\"\nlength = 4\n", &database).empty());
    const SignalMessage& m = database.Messages()[0];
    std::string payload, why;
    ASSERT_TRUE(BuildArrayPayload(m, { "word=258" }, "", &payload, &why)) << why;
    EXPECT_EQ(65534u, payload.size());                 // to the end of the fields that state their length
    EXPECT_EQ(std::string("\x01\x02", 2), payload.substr(3, 2));
    ASSERT_TRUE(BuildArrayPayload(m, { "tail=ab" }, "", &payload, &why)) << why;
    EXPECT_EQ(65536u, payload.size());                 // exactly 64 KiB
    EXPECT_EQ("ab", payload.substr(65534));
    EXPECT_FALSE(BuildArrayPayload(m, { "tail=abc" }, "", &payload, &why));
    EXPECT_EQ("m.tail: the payload would be longer than 64 KiB", why);   // names the field that went past
    ASSERT_TRUE(BuildArrayPayload(m, { "four=wxyz" }, std::string(10, '.'), &payload, &why)) << why;
    EXPECT_EQ("wxyz", payload.substr(5, 4));
    ASSERT_TRUE(BuildArrayPayload(m, { "four=xy" }, std::string(10, '.'), &payload, &why)) << why;
    EXPECT_EQ(std::string("xy\0\0.", 5), payload.substr(5, 5));   // padded to its length, the byte after kept
    EXPECT_FALSE(BuildArrayPayload(m, { "four=vwxyz" }, "", &payload, &why));
    EXPECT_EQ("m.four: the text is 5 bytes, longer than the field's 4", why);
}

TEST(DatabaseResolver, PredicatesAndPostsFindSignalsThroughTheFile)
{
    SignalDatabase database;
    ASSERT_TRUE(Load(ReadFileText(CORVANE_SIGNALS_EXAMPLE), &database).empty());
    const DatabaseResolver signals(database, kPages);

    Predicate predicate;
    std::string why;
    ASSERT_TRUE(ParsePredicate("pump.status.pressure ge 2.41", &signals, &predicate, &why)) << why;
    EXPECT_EQ(0x30000401u, predicate.pattern.code);
    PredicateEvaluator evaluator(predicate, &signals);
    RecordedMessage pump = { 0, 0x30000401, kArrayPayload, 0, std::string("\0\0\0\0\xf1", 5) };
    EXPECT_TRUE(evaluator.Holds(pump));                 // 241 x 0.01: the edge holds
    pump.bytes[4] = '\xf0';
    EXPECT_FALSE(evaluator.Holds(pump));
    pump.bytes.resize(4);
    EXPECT_FALSE(evaluator.Holds(pump));                // the field is cut off
    // One decode serves a message in a row; the next message is its own.
    EXPECT_FALSE(signals.Decoded(pump).empty());
    RecordedMessage unknown = { 0, 0x30000402, kArrayPayload, 0, pump.bytes };
    EXPECT_TRUE(signals.Decoded(unknown).empty());
    EXPECT_TRUE(ParsePredicate("motor.state eq FAULT", &signals, &predicate, &why)) << why;
    EXPECT_EQ(3, predicate.operand);
    EXPECT_FALSE(ParsePredicate("motor.state eq FALT", &signals, &predicate, &why));
    EXPECT_NE(std::string::npos, why.find("did you mean 'FAULT'?")) << why;
    EXPECT_FALSE(ParsePredicate("motor.sped gt 1", &signals, &predicate, &why));
    EXPECT_NE(std::string::npos, why.find("did you mean 'motor.speed'?")) << why;
    // A comparison its signal can never change is refused, whoever parses
    // it (a lamp, a trigger, an expect); a code's value is any word.
    EXPECT_FALSE(ParsePredicate("pump.status.valve == 2", &signals, &predicate, &why));
    EXPECT_EQ("pump.status.valve takes 0 to 1: pump.status.valve eq 2 never holds", why);
    EXPECT_TRUE(ParsePredicate("pump.status.valve == 1", &signals, &predicate, &why)) << why;
    EXPECT_FALSE(ParsePredicate("pump.status.valve ne -1", &signals, &predicate, &why));
    EXPECT_EQ("pump.status.valve takes 0 to 1: pump.status.valve ne -1 always holds", why);
    EXPECT_TRUE(ParsePredicate("20000801 gt 2147483647", &signals, &predicate, &why)) << why;
    SessionRequest request;
    EXPECT_FALSE(ParseSessionRequest("{\"id\":1,\"op\":\"expect\",\"match\":\"pump.status.valve gt 1\",\"within\":1}", 3,
                                     &signals, &request, &why));
    EXPECT_EQ("line 3: \"match\" 'pump.status.valve gt 1': pump.status.valve takes 0 to 1: pump.status.valve gt 1 never holds",
              why);

    RecordedMessage posted;
    ASSERT_TRUE(signals.EncodeSignal("motor.speed", 148.25, &posted, &why)) << why;
    EXPECT_EQ(0x20001001u, posted.code);
    EXPECT_EQ(593, posted.value);                       // 148.25 / 0.25
    EXPECT_FALSE(signals.EncodeSignal("motor.speed", 3000.25, &posted, &why));
    ASSERT_TRUE(signals.EncodeSignal("pump.status.pressure", 2.41, &posted, &why)) << why;
    EXPECT_EQ(std::string("\0\0\0\0\xf1", 5), posted.bytes);
    EXPECT_FALSE(signals.EncodeSignal("rig.text", 1, &posted, &why));

    // A text signal is compared as text, decoded from its encoding.
    EXPECT_TRUE(signals.IsTextSignal("rig.text"));
    EXPECT_FALSE(signals.IsTextSignal("motor.state"));
    ASSERT_TRUE(ParsePredicate("rig.text eq \xe5\xb0\xb1\xe7\xbb\xaa", &signals, &predicate, &why)) << why;
    PredicateEvaluator ready(predicate, &signals);
    const RecordedMessage text = { 0, 0x30000201, kStringPayload, 0, "\xbe\xcd\xd0\xf7" };   // GBK
    EXPECT_TRUE(ready.Holds(text));
    EXPECT_FALSE(ready.Holds(RecordedMessage{ 0, 0x30000201, kStringPayload, 0, "\xbe\xcd" }));
    EXPECT_FALSE(ParsePredicate("motor.state contains RUN", &signals, &predicate, &why));
    EXPECT_FALSE(ParsePredicate("pump.status", &signals, &predicate, &why));
    EXPECT_NE(std::string::npos, why.find("'pump.status' is a message: name one of its signals (pump.status.mode, "
                                          "pump.status.valve, pump.status.temperature, pump.status.pressure)")) << why;
}

} // namespace

// A field marked covers = true may overlap others (a group of them); any
// other overlap stays an error, down to one shared bit.
TEST(SignalFile, MarkedFieldsCoverOthers)
{
    const std::string head = "[[message]]\ncode = \"30000401\"\nname = \"a\"\n[[message.field]]\nname = \"low\"\nbyte = 0\n"
                             "type = \"u8\"\nbits = 4\n[[message.field]]\nname = \"high\"\nbyte = 0\nbit = 4\ntype = \"u8\"\nbits = 4\n"
                             "[[message.field]]\nname = \"both\"\nbyte = 0\ntype = \"u8\"\n";
    SignalDatabase database;
    std::vector<std::string> errors = Load(head + "covers = true\n", &database);
    ASSERT_TRUE(errors.empty()) << errors[0];
    std::vector<DecodedSignal> decoded;
    DecodeMessage(database.Messages()[0], 0, "\xa5", kPages, &decoded);
    EXPECT_EQ("a.low=5  a.high=10  a.both=165", FormatSignalsLine(decoded));
    errors = Load(head, &database);
    ASSERT_EQ(1u, errors.size());
    EXPECT_EQ("f.toml:15:1: field 'both' overlaps field 'low' in byte 0", errors[0]);
    // One bit apart is no overlap; one bit shared is, unless marked.
    const std::string pair = "[[message]]\ncode = \"30000401\"\nname = \"a\"\n[[message.field]]\nname = \"f\"\nbyte = 0\n"
                             "type = \"u8\"\nbits = 3\n[[message.field]]\nname = \"g\"\nbyte = 0\ntype = \"bool\"\n";
    EXPECT_TRUE(Load(pair + "bit = 3\n", &database).empty());
    errors = Load(pair + "bit = 2\n", &database);
    ASSERT_EQ(1u, errors.size());
    EXPECT_EQ("f.toml:9:1: field 'g' overlaps field 'f' in byte 0", errors[0]);
    EXPECT_TRUE(Load(pair + "bit = 2\ncovers = true\n", &database).empty());
}

// u64 and i64 fields keep every digit through a send by name, decoding, the
// text and the JSON, at both ends of their range and either side of 2^53,
// past which a double would round (the JSON then gives the digits as a string).
TEST(SignalCodec, SixtyFourBitIntegersKeepEveryDigit)
{
    const Signal u = Field("byte = 0\ntype = \"u64\"\nendian = \"little\"\n");
    const Signal i = Field("byte = 1\ntype = \"i64\"\nendian = \"big\"\n");
    const struct {
        const Signal* field;
        const char* text;
        const char* json;
    } cases[] = {
        { &u, "9007199254740993", "\"9007199254740993\"" },
        { &u, "9007199254740992", "9007199254740992" },
        { &u, "18446744073709551615", "\"18446744073709551615\"" },
        { &u, "0", "0" },
        { &i, "-9223372036854775808", "\"-9223372036854775808\"" },
        { &i, "9223372036854775807", "\"9223372036854775807\"" },
        { &i, "-9007199254740993", "\"-9007199254740993\"" },
        { &i, "-9007199254740992", "-9007199254740992" },
    };
    for (const auto& test : cases) {
        SignalRaw raw;
        std::string error, bytes(9, '\0');
        ASSERT_TRUE(EncodeSignalText(*test.field, test.text, &raw, &error)) << test.text << ": " << error;
        WriteFieldRaw(*test.field, raw, &bytes);
        const DecodedSignal decoded = DecodeOne(*test.field, bytes);
        EXPECT_EQ(test.text, FormatSignalValue(decoded));
        EXPECT_EQ(std::string("{\"a.f\":") + test.json + "}", FormatSignalsJson({ decoded }));
    }
    const uint64_t top = 0xffffffffffffffffULL;
    EXPECT_EQ(std::string(8, '\xff'), std::string(reinterpret_cast<const char*>(&top), 8));   // little-endian host
    EXPECT_EQ(1.8446744073709552e19, DecodeOne(u, std::string(8, '\xff')).physical);

    const struct {
        const Signal* field;
        const char* text;
        const char* says;
    } refused[] = {
        { &u, "-1", "a.f: -1 does not fit u64 in 64 bits: 0 to 18446744073709551615" },
        { &u, "18446744073709551616", "does not fit u64 in 64 bits: 0 to 18446744073709551615" },
        { &i, "-9223372036854775809", "a.f: -9223372036854775809 does not fit i64 in 64 bits: -9223372036854775808 to 9223372036854775807" },
        { &i, "9223372036854775808", "a.f: 9223372036854775808 does not fit i64 in 64 bits" },
    };
    for (const auto& test : refused) {
        SignalRaw raw;
        std::string error;
        EXPECT_FALSE(EncodeSignalText(*test.field, test.text, &raw, &error)) << test.text;
        EXPECT_NE(std::string::npos, error.find(test.says)) << error;
    }
    // A field spans 8 bytes at most: bit + bits up to 64.
    const Signal shifted = Field("byte = 0\ntype = \"u64\"\nendian = \"little\"\nbit = 1\nbits = 63\n");
    EXPECT_EQ(0x7fffffffffffffffLL, DecodeOne(shifted, std::string(8, '\xff')).raw);
    SignalDatabase database;
    EXPECT_EQ("f.toml:4:1: field 'f' would span 9 bytes: bit + bits is at most 64",
              Load("[[message]]\ncode = \"30000401\"\nname = \"a\"\n[[message.field]]\nname = \"f\"\nbyte = 0\n"
                   "type = \"i64\"\nendian = \"little\"\nbit = 1\n", &database).at(0));
}
