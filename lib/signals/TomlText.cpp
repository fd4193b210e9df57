#include "signals/TomlText.h"

#include "common/FormatText.h"
#include "common/Catalogue.h"

namespace {

// Bytes of toml++'s tree per token, measured on its 64-bit build: a value in
// an array, a key with its value, a table.
enum { kValueBytes = 64, kKeyValueBytes = 176, kTableBytes = 112 };

bool IsBareKeyChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}

// Walks the text once, outside strings and comments, keeping the line and
// column (in characters, as toml++ counts them) of where it is.
class ShapeScan {
public:
    explicit ShapeScan(const std::string& text) : text_(text) {}

    bool Run(TomlProblem* problem);

private:
    char At(size_t i) const { return i < text_.size() ? text_[i] : '\0'; }
    void Step();                      // one byte on, counting lines and characters
    void SkipString(char quote);      // from the opening quote to past the closing one
    bool Fail(TomlProblem* problem, const std::string& what);

    const std::string& text_;
    size_t at_ = 0;
    unsigned line_ = 1, column_ = 1;
};

void ShapeScan::Step()
{
    const unsigned char c = static_cast<unsigned char>(text_[at_++]);
    if (c == '\n') {
        ++line_;
        column_ = 1;
    } else if ((c & 0xC0) != 0x80) {  // a UTF-8 continuation byte is part of the character before
        ++column_;
    }
}

void ShapeScan::SkipString(char quote)
{
    const bool multiLine = At(at_ + 1) == quote && At(at_ + 2) == quote;
    for (int i = multiLine ? 3 : 1; i > 0; --i)
        Step();
    while (at_ < text_.size()) {
        const char c = text_[at_];
        if (c == '\\' && quote == '"') {
            Step();
            if (at_ < text_.size())
                Step();
            continue;
        }
        if (c == '\n' && !multiLine)
            return;  // toml++ reports the open string
        if (c == quote && (!multiLine || (At(at_ + 1) == quote && At(at_ + 2) == quote))) {
            for (int i = multiLine ? 3 : 1; i > 0; --i)
                Step();
            return;
        }
        Step();
    }
}

bool ShapeScan::Fail(TomlProblem* problem, const std::string& what)
{
    problem->line = line_;
    problem->column = column_;
    problem->what = what;
    return false;
}

bool ShapeScan::Run(TomlProblem* problem)
{
    int nesting = 0;      // open [ and { around here
    int keyParts = 0;     // parts of the dotted name being read, 0 between names
    bool afterDot = false;
    while (at_ < text_.size()) {
        const char c = text_[at_];
        if (c == '#') {
            while (at_ < text_.size() && text_[at_] != '\n')
                Step();
            continue;
        }
        if (c == '"' || c == '\'' || IsBareKeyChar(c)) {
            // One part of a dotted name (or a value, which counts the same way).
            if (keyParts == 0 || afterDot)
                ++keyParts;
            afterDot = false;
            if (keyParts > kMaxTomlKeyParts)
                return Fail(problem, FormatText(N_("a dotted key or header of more than %d parts"), kMaxTomlKeyParts));
            if (c == '"' || c == '\'') {
                SkipString(c);
            } else {
                while (at_ < text_.size() && IsBareKeyChar(text_[at_]))
                    Step();
            }
            continue;
        }
        if (c == '.') {
            afterDot = true;
            Step();
            continue;
        }
        if (c != ' ' && c != '\t') {
            keyParts = 0;
            afterDot = false;
        }
        if (c == '[' || c == '{') {
            if (++nesting > kMaxTomlNesting)
                return Fail(problem, FormatText(N_("arrays or tables nested more than %d deep"), kMaxTomlNesting));
        } else if ((c == ']' || c == '}') && nesting > 0) {
            --nesting;
        }
        Step();
    }
    return true;
}

} // namespace

uint64_t EstimateTomlTreeBytes(const std::string& text)
{
    uint64_t values = 0, keys = 0, tables = 0;
    bool inComment = false, lineStart = true;
    bool header = false;   // in a [table] or [[array]] header
    bool inKey = true;     // reading a key or a header, where each dot makes a table
    int depth = 0;         // open [ and { around here
    uint64_t braces = 0;   // bit d: the bracket opened at depth d is a {
    char quote = '\0';
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inComment) {
            inComment = c != '\n';
        } else if (quote != '\0') {
            if (c == '\\' && quote == '"')
                ++i;
            else if (c == quote)
                quote = '\0';
        } else if (c == '#') {
            inComment = true;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '=') {
            ++keys;
            inKey = false;
        } else if (c == '.') {
            // a.b.c = 1 and [a.b.c] make tables a and a.b: a key and a table each.
            if (inKey) {
                ++keys;
                ++tables;
            }
        } else if (c == ',') {
            ++values;
            inKey = depth > 0 && depth <= 64 && ((braces >> (depth - 1)) & 1) != 0;
        } else if (c == '[' || c == '{') {
            // A [table] header names a new table: a key as well.
            if (c == '[' && depth == 0 && lineStart) {
                header = true;
                if (i + 1 < text.size() && text[i + 1] != '[')
                    ++keys;
            }
            ++tables;
            if (depth < 64)
                braces = c == '{' ? braces | uint64_t(1) << depth : braces & ~(uint64_t(1) << depth);
            ++depth;
            inKey = c == '{' || header;
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
            inKey = false;
        }
        if (c == '\n' && depth == 0 && quote == '\0') {
            header = false;
            inKey = true;
        }
        lineStart = c == '\n' || (lineStart && (c == ' ' || c == '\t'));
    }
    return values * kValueBytes + keys * kKeyValueBytes + tables * kTableBytes;
}

bool CheckTomlShape(const std::string& text, TomlProblem* problem)
{
    if (text.size() > static_cast<size_t>(kMaxTomlFileBytes)) {
        *problem = TomlProblem{ 0, 0, FormatText(N_("longer than %d MiB"), kMaxTomlFileBytes >> 20) };
        return false;
    }
    if (!ShapeScan(text).Run(problem))
        return false;
    const uint64_t tree = EstimateTomlTreeBytes(text);
    if (tree > static_cast<uint64_t>(kMaxTomlTreeMiB) << 20) {
        *problem = TomlProblem{ 0, 0,
                                FormatText(N_("too many values: reading it would take about %llu MiB (at most %d MiB)"),
                                           static_cast<unsigned long long>(tree >> 20), kMaxTomlTreeMiB) };
        return false;
    }
    return true;
}

bool ParseTomlText(const std::string& text, const std::string& fileName, toml::table* root, TomlProblem* problem)
{
    if (!CheckTomlShape(text, problem))
        return false;
    try {
        toml::parse_result parsed = toml::parse(std::string_view(text), std::string_view(fileName));
        if (!parsed) {
            const toml::source_region& where = parsed.error().source();
            *problem = TomlProblem{ static_cast<unsigned>(where.begin.line), static_cast<unsigned>(where.begin.column),
                                    "TOML: " + std::string(parsed.error().description()) };
            return false;
        }
        *root = std::move(parsed).table();
        return true;
    } catch (const std::bad_alloc&) {
        *problem = TomlProblem{ 0, 0, N_("not enough memory to read it") };
    } catch (const std::exception& e) {
        *problem = TomlProblem{ 0, 0, e.what() };
    }
    return false;
}

std::string TomlProblemText(const std::string& fileName, const TomlProblem& problem)
{
    if (problem.line == 0)
        return fileName + ": " + problem.what;
    return FormatText("%s:%u:%u: ", fileName.c_str(), problem.line, problem.column) + problem.what;
}
