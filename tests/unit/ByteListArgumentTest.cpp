#include <gtest/gtest.h>

#include "velkctl/ByteListArgument.h"

namespace {

TEST(ByteListArgument, OneHexBytePerTokenOrAMessageNamingTheBadToken)
{
    struct Case {
        std::string text;
        std::string bytes;     // when accepted
        const char* message;   // a part of it, when refused
    };
    const Case cases[] = {
        { "01 a0 FF", "\x01\xA0\xFF", nullptr },
        { "  0\t\t7f  ", std::string("\x00\x7F", 2), nullptr },
        { "1 2 3 4 5 6 7 8 9 a b c d e f 10 11 12 13 14",
          "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x0C\x0D\x0E\x0F\x10\x11\x12\x13\x14", nullptr },
        { "zz yy", "", "bad byte 'zz'" },
        { "1FF 100 -1", "", "bad byte '1FF'" },
        { "01 -1", "", "bad byte '-1'" },
        { "0x1", "", "bad byte '0x1'" },
        { "1g", "", "bad byte '1g'" },
        { "01,02", "", "bad byte '01,02'" },
        { "", "", "no bytes" },
        { "   ", "", "no bytes" },
        { "1 2 3 4 5 6 7 8 9 a b c d e f 10 11 12 13 14 15", "", "too many bytes: '15'" },
        { std::string(100, '1'), "", "1111111111...' (100 bytes): each byte" },   // cut, as all quoted input
    };
    for (const Case& c : cases) {
        unsigned char bytes[kMaxArrayBytes];
        std::string error;
        int count = ParseByteListArgument(c.text, bytes, &error);
        if (c.message == nullptr) {
            ASSERT_EQ(static_cast<int>(c.bytes.size()), count) << c.text << ": " << error;
            EXPECT_EQ(c.bytes, std::string(reinterpret_cast<const char*>(bytes), c.bytes.size())) << c.text;
        } else {
            EXPECT_EQ(-1, count) << c.text;
            EXPECT_NE(std::string::npos, error.find(c.message)) << c.text << ": " << error;
        }
    }
}

} // namespace
