#include "common/JsonObject.h"

#include <stdint.h>
#include <string.h>

#include <unordered_set>

#include "common/Catalogue.h"
#include "common/HexText.h"
#include "common/FormatText.h"
#include "common/Utf8.h"

namespace {

class Reader {
public:
    Reader(const char* text, size_t length) : text_(text), length_(length), at_(0) {}

    bool Object(std::vector<JsonMember>* members)
    {
        Blanks();
        return Expect('{') && Members('}', 0, members) && End();
    }

    const std::string& Error() const { return error_; }

private:
    bool End()
    {
        Blanks();
        return at_ == length_ || Fail(N_("text after the object"));
    }

    bool Value(JsonMember* member, int depth)
    {
        if (at_ >= length_)
            return Fail(N_("expected a value"));
        char c = text_[at_];
        if (c == '"') {
            member->type = kJsonString;
            return String(&member->text);
        }
        if (c == '-' || (c >= '0' && c <= '9')) {
            member->type = kJsonNumber;
            return Number(&member->text);
        }
        if (Word("true")) {
            member->type = kJsonTrue;
            return true;
        }
        if (Word("false")) {
            member->type = kJsonFalse;
            return true;
        }
        if (Word("null")) {
            member->type = kJsonNull;
            return true;
        }
        if (c == '{' || c == '[') {
            member->type = kJsonNested;
            const size_t start = at_;
            if (!Nested(depth + 1))
                return false;
            member->text.assign(text_ + start, at_ - start);
            return true;
        }
        return Fail(N_("expected a value"));
    }

    // An array or object inside the top level: checked, not kept.
    bool Nested(int depth)
    {
        if (depth > kMaxJsonDepth)
            return Fail(FormatText(N_("nested deeper than %d"), static_cast<int>(kMaxJsonDepth)));
        char close = text_[at_] == '{' ? '}' : ']';
        ++at_;
        return Members(close, depth, NULL);
    }

    // What follows an opening bracket up to its close: an object's members or
    // an array's values. Members are kept in *kept, their keys unique, when
    // kept is given.
    bool Members(char close, int depth, std::vector<JsonMember>* kept)
    {
        Blanks();
        if (Eat(close))
            return true;
        // A line of a megabyte holds 10^5 keys: each is looked up, not compared with every other.
        std::unordered_set<std::string> keys;
        for (;;) {
            JsonMember member;
            Blanks();
            if (close == '}') {
                size_t keyAt = at_;
                if (!Peek('"'))
                    return Fail(N_("expected a key in double quotes"));
                if (!String(&member.key))
                    return false;
                if (kept != NULL && !keys.insert(member.key).second)
                    return FailAt(keyAt, FormatText(N_("key \"%s\" appears twice"), Printable(member.key).c_str()));
                Blanks();
                if (!Expect(':'))
                    return false;
                Blanks();
            }
            if (!Value(&member, depth))
                return false;
            if (kept != NULL)
                kept->push_back(member);
            Blanks();
            if (Eat(close))
                return true;
            if (!Expect(','))
                return false;
        }
    }

    bool Number(std::string* literal)
    {
        size_t start = at_;
        Eat('-');
        if (Eat('0')) {
        } else if (!Digits()) {
            return Fail(N_("bad number"));
        }
        if (Eat('.') && !Digits())
            return Fail(N_("bad number: digits must follow the decimal point"));
        if (Eat('e') || Eat('E')) {
            if (!Eat('+'))
                Eat('-');
            if (!Digits())
                return Fail(N_("bad number: digits must follow the exponent"));
        }
        literal->assign(text_ + start, at_ - start);
        return true;
    }

    bool Digits()
    {
        size_t start = at_;
        while (at_ < length_ && text_[at_] >= '0' && text_[at_] <= '9')
            ++at_;
        return at_ > start;
    }

    bool String(std::string* out)
    {
        ++at_;   // the opening quote
        out->clear();
        for (;;) {
            if (at_ >= length_)
                return Fail(N_("unterminated string"));
            unsigned char c = static_cast<unsigned char>(text_[at_]);
            if (c == '"') {
                ++at_;
                return true;
            }
            if (c < 0x20)
                return Fail(N_("control character in a string"));
            if (c == '\\') {
                if (!Escape(out))
                    return false;
            } else if (c < 0x80) {
                *out += static_cast<char>(c);
                ++at_;
            } else if (!Utf8(out)) {
                return false;
            }
        }
    }

    bool Escape(std::string* out)
    {
        if (at_ + 1 >= length_)
            return Fail(N_("unterminated string"));
        char c = text_[at_ + 1];
        const char* from = "\"\\/bfnrt";
        const char* to = "\"\\/\b\f\n\r\t";
        const char* found = c != '\0' ? strchr(from, c) : NULL;
        if (found != NULL) {
            *out += to[found - from];
            at_ += 2;
            return true;
        }
        if (c != 'u')
            return Fail(N_("bad escape"));
        uint32_t unit = 0;
        if (!Hex4(at_ + 2, &unit))
            return Fail(N_("bad \\u escape"));
        at_ += 6;
        uint32_t point = unit;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            uint32_t low = 0;
            if (at_ + 1 >= length_ || text_[at_] != '\\' || text_[at_ + 1] != 'u' || !Hex4(at_ + 2, &low) ||
                low < 0xDC00 || low > 0xDFFF)
                return Fail(N_("lone surrogate in a \\u escape"));
            at_ += 6;
            point = SurrogatePairPoint(unit, low);
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            return Fail(N_("lone surrogate in a \\u escape"));
        }
        AppendUtf8(point, out);
        return true;
    }

    bool Hex4(size_t from, uint32_t* unit)
    {
        if (from + 4 > length_)
            return false;
        *unit = 0;
        for (size_t i = from; i < from + 4; ++i) {
            int digit = HexDigitValue(text_[i]);
            if (digit < 0)
                return false;
            *unit = *unit << 4 | static_cast<uint32_t>(digit);
        }
        return true;
    }

    // One multi-byte UTF-8 sequence, shortest form, no surrogates, at most U+10FFFF.
    bool Utf8(std::string* out)
    {
        unsigned char lead = static_cast<unsigned char>(text_[at_]);
        size_t extra = lead >= 0xC2 && lead <= 0xDF ? 1 : lead >= 0xE0 && lead <= 0xEF ? 2
                     : lead >= 0xF0 && lead <= 0xF4 ? 3 : 0;
        if (extra == 0 || at_ + extra >= length_)
            return Fail(N_("invalid UTF-8"));
        uint32_t point = lead & (0x3F >> extra);
        for (size_t i = 1; i <= extra; ++i) {
            unsigned char next = static_cast<unsigned char>(text_[at_ + i]);
            if ((next & 0xC0) != 0x80)
                return Fail(N_("invalid UTF-8"));
            point = point << 6 | (next & 0x3F);
        }
        static const uint32_t kSmallest[] = { 0, 0x80, 0x800, 0x10000 };
        if (point < kSmallest[extra] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
            return Fail(N_("invalid UTF-8"));
        out->append(text_ + at_, extra + 1);
        at_ += extra + 1;
        return true;
    }

    // What a message may quote of a key: printable ASCII, cut short.
    static std::string Printable(const std::string& text)
    {
        std::string shown;
        for (size_t i = 0; i < text.size() && i < 40; ++i)
            shown += text[i] >= 0x20 && text[i] < 0x7F ? text[i] : '?';
        return text.size() > 40 ? shown + "..." : shown;
    }

    bool Word(const char* word)
    {
        size_t n = strlen(word);
        if (at_ + n > length_ || memcmp(text_ + at_, word, n) != 0)
            return false;
        at_ += n;
        return true;
    }

    void Blanks()
    {
        while (at_ < length_ && (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\r' || text_[at_] == '\n'))
            ++at_;
    }

    bool Peek(char c) const { return at_ < length_ && text_[at_] == c; }

    bool Eat(char c)
    {
        if (!Peek(c))
            return false;
        ++at_;
        return true;
    }

    bool Expect(char c)
    {
        return Eat(c) || Fail(FormatText(N_("expected '%c'"), c));
    }

    bool Fail(const std::string& what) { return FailAt(at_, what); }

    bool FailAt(size_t where, const std::string& what)
    {
        error_ = FormatText(N_("not JSON: %s at column %zu"), what.c_str(), where + 1);
        return false;
    }

    const char* text_;
    size_t length_;
    size_t at_;
    std::string error_;
};

} // namespace

bool ParseJsonObject(const char* text, size_t length, std::vector<JsonMember>* members, std::string* error)
{
    members->clear();
    Reader reader(text, length);
    if (reader.Object(members))
        return true;
    members->clear();
    *error = reader.Error();
    return false;
}

const JsonMember* FindJsonMember(const std::vector<JsonMember>& members, const char* key)
{
    for (const JsonMember& member : members) {
        if (member.key == key)
            return &member;
    }
    return nullptr;
}
