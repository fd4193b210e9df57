#include "signals/DbcEncoding.h"

#include <stdint.h>

#include "common/Utf8.h"

namespace {

bool IsUtf8(const std::string& bytes)
{
    for (size_t at = 0; at < bytes.size();) {
        const unsigned char lead = static_cast<unsigned char>(bytes[at]);
        size_t more = lead < 0x80 ? 0 : (lead & 0xE0) == 0xC0 ? 1 : (lead & 0xF0) == 0xE0 ? 2 : (lead & 0xF8) == 0xF0 ? 3 : 9;
        if (more == 9 || lead == 0xC0 || lead == 0xC1 || lead > 0xF4 || (more != 0 && at + more >= bytes.size()))
            return false;
        uint32_t point = more == 0 ? lead : lead & (0x3F >> more);
        for (size_t i = 1; i <= more; ++i) {
            const unsigned char next = static_cast<unsigned char>(bytes[at + i]);
            if ((next & 0xC0) != 0x80)
                return false;
            point = point << 6 | (next & 0x3F);
        }
        // No overlong forms, surrogates or points past U+10FFFF.
        if ((more == 2 && point < 0x800) || (more == 3 && (point < 0x10000 || point > 0x10FFFF)) ||
            (point >= 0xD800 && point <= 0xDFFF))
            return false;
        at += more + 1;
    }
    return true;
}

bool IsGb2312Shaped(const std::string& bytes)
{
    for (size_t at = 0; at < bytes.size(); ++at) {
        const unsigned char lead = static_cast<unsigned char>(bytes[at]);
        if (lead < 0x80)
            continue;
        if (lead < 0xA1 || lead > 0xF7 || at + 1 >= bytes.size())
            return false;
        const unsigned char second = static_cast<unsigned char>(bytes[++at]);
        if (second < 0xA1 || second > 0xFE)
            return false;
    }
    return true;
}

bool DecodeGbk(const std::string& bytes, const CodePage& gbk, std::string* utf8)
{
    std::u16string wide;
    if (!gbk.decode(bytes.data(), bytes.size(), &wide))
        return false;
    utf8->clear();
    for (size_t i = 0; i < wide.size(); ++i) {
        uint32_t unit = wide[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF)
            unit = SurrogatePairPoint(unit, wide[++i]);
        AppendUtf8(unit, utf8);
    }
    return true;
}

// cp1252's characters at 0x80-0x9F, where Latin-1 has C1 controls; the five
// it leaves out stay as they are.
const uint16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

} // namespace

const char* DbcEncodingName(DbcEncoding encoding)
{
    return encoding == kDbcGbk ? "gbk" : encoding == kDbcLatin1 ? "latin-1" : encoding == kDbcUtf8 ? "utf-8" : "auto";
}

bool DbcEncodingOfName(const std::string& name, DbcEncoding* encoding)
{
    for (DbcEncoding each : { kDbcAuto, kDbcUtf8, kDbcGbk, kDbcLatin1 }) {
        if (name == DbcEncodingName(each)) {
            *encoding = each;
            return true;
        }
    }
    return false;
}

bool DecodeDbcText(const std::string& bytes, DbcEncoding wanted, const CodePage& gbk, std::string* utf8,
                   DbcEncoding* taken)
{
    if ((wanted == kDbcAuto || wanted == kDbcUtf8) && IsUtf8(bytes)) {
        *utf8 = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? bytes.substr(3) : bytes;
        *taken = kDbcUtf8;
        return true;
    }
    if ((wanted == kDbcGbk || (wanted == kDbcAuto && IsGb2312Shaped(bytes))) && DecodeGbk(bytes, gbk, utf8)) {
        *taken = kDbcGbk;
        return true;
    }
    if (wanted != kDbcAuto && wanted != kDbcLatin1)
        return false;
    utf8->clear();
    for (char c : bytes) {
        const unsigned char byte = static_cast<unsigned char>(c);
        AppendUtf8(byte >= 0x80 && byte < 0xA0 ? kCp1252High[byte - 0x80] : byte, utf8);
    }
    *taken = kDbcLatin1;
    return true;
}
