#include "common/Catalogue.h"

#include <stdlib.h>
#include <string.h>

namespace {

const int kMaxDepth = 8;   // keys inside keys' arguments: more is no message of ours

// A key cut into its literal text and its conversions.
struct Segment {
    bool conversion;
    std::string text;   // the literal, or the conversion as written ("%zu")
    char kind;          // the conversion's letter: s, c, or a number's
    int position;       // a Chinese template's %2$s: 2; else 0
};

bool IsConversionLetter(char c)
{
    return strchr("diouxXeEfgGcs", c) != nullptr;
}

// A printf format's segments; "%%" is a literal %.
std::vector<Segment> Segments(const char* format)
{
    std::vector<Segment> segments;
    std::string literal;
    for (const char* at = format; *at != '\0';) {
        if (*at != '%') {
            literal += *at++;
            continue;
        }
        if (at[1] == '%') {
            literal += '%';
            at += 2;
            continue;
        }
        const char* start = at++;
        int position = 0;
        const char* digits = at;
        while (*at >= '0' && *at <= '9')
            ++at;
        if (*at == '$' && at > digits) {
            position = atoi(digits);
            ++at;
        } else {
            at = digits;
        }
        while (*at != '\0' && strchr("-+ #0123456789.hlLzjt", *at) != nullptr)
            ++at;   // flags, width, precision, length
        if (*at == '\0' || !IsConversionLetter(*at)) {
            literal += '%';   // no conversion: "mosquitto_sub -F %j" means the text
            at = start + 1;
            continue;
        }
        if (!literal.empty())
            segments.push_back(Segment{ false, literal, 0, 0 });
        literal.clear();
        segments.push_back(Segment{ true, std::string(start, at + 1), *at, position });
        ++at;
    }
    if (!literal.empty())
        segments.push_back(Segment{ false, literal, 0, 0 });
    return segments;
}

struct ParsedEntry {
    std::vector<Segment> english, chinese;
    size_t literalSize;   // how specific the key is: the longest match wins
    const CatalogueEntry* entry;
};

const std::vector<ParsedEntry>& Parsed()
{
    static const std::vector<ParsedEntry> parsed = [] {
        std::vector<ParsedEntry> entries;
        for (size_t i = 0; i < kChineseCatalogueSize; ++i) {
            ParsedEntry entry = { Segments(kChineseCatalogue[i].english), Segments(kChineseCatalogue[i].chinese), 0,
                                  &kChineseCatalogue[i] };
            for (const Segment& segment : entry.english)
                entry.literalSize += segment.conversion ? 0 : segment.text.size();
            entries.push_back(entry);
        }
        return entries;
    }();
    return parsed;
}

bool IsNumberChar(char c)
{
    return (c >= '0' && c <= '9') || strchr("+-.xXabcdefABCDEFinINty", c) != nullptr;
}

// Whether text from at matches the segments from index on; the conversions'
// texts in *arguments.
bool Match(const std::vector<Segment>& segments, size_t index, const std::string& text, size_t at,
           std::vector<std::string>* arguments)
{
    if (index == segments.size())
        return at == text.size();
    const Segment& segment = segments[index];
    if (!segment.conversion) {
        return text.compare(at, segment.text.size(), segment.text) == 0 &&
               Match(segments, index + 1, text, at + segment.text.size(), arguments);
    }
    size_t end = at;
    size_t shortest = at, longest = text.size();
    if (segment.kind != 's' && text[at] == '%') {
        // A format read as a message (the catalogue's test): its number
        // conversion fills the key's.
        end = at + 1;
        while (end < text.size() && !IsConversionLetter(text[end]))
            ++end;
        shortest = longest = end + 1;
    } else if (segment.kind == 'c') {
        shortest = longest = at + 1;
    } else if (segment.kind != 's') {
        while (end < text.size() && IsNumberChar(text[end]))
            ++end;
        shortest = at + 1;
        longest = end;
    }
    for (size_t stop = shortest; stop <= longest && stop <= text.size(); ++stop) {
        // A key's text is one message: a message after ": " (or a prefix
        // before it, "velkctl: post: ") is split off first.
        if (segment.kind == 's' && text.substr(at, stop - at + 1).find(": ") != std::string::npos)
            break;
        arguments->push_back(text.substr(at, stop - at));
        if (Match(segments, index + 1, text, stop, arguments))
            return true;
        arguments->pop_back();
    }
    return false;
}

// The most specific key that matches the whole text, with its arguments.
const ParsedEntry* FindKey(const std::string& text, std::vector<std::string>* arguments)
{
    const ParsedEntry* best = nullptr;
    for (const ParsedEntry& entry : Parsed()) {
        if (best != nullptr && entry.literalSize <= best->literalSize)
            continue;
        std::vector<std::string> found;
        if (Match(entry.english, 0, text, 0, &found)) {
            best = &entry;
            arguments->swap(found);
        }
    }
    return best;
}

// Fewer than two words once quotes and conversions are out: a name, a
// number, a file, a code; or an example command line. Such a piece needs no
// translation.
bool ReadsAsName(const std::string& text)
{
    for (const char* program : { "velkctl ", "velkscope " })
        if (text.compare(0, strlen(program), program) == 0)
            return true;
    if (text.find("| velkctl ") != std::string::npos)
        return true;   // a pipe into velkctl
    // Quoted input and conversions are names or numbers, not words.
    std::string kept;
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\'') {
            quoted = !quoted;
            kept += ' ';
            continue;
        }
        if (quoted)
            continue;
        if (text[i] == '%' && i + 1 < text.size()) {
            while (i + 1 < text.size() && !IsConversionLetter(text[i + 1]))
                ++i;
            ++i;
            kept += ' ';
            continue;
        }
        kept += text[i];
    }
    // A word: two letters or more, between blanks.
    int words = 0;
    size_t at = 0;
    while (at < kept.size()) {
        const size_t start = kept.find_first_not_of(' ', at);
        if (start == std::string::npos)
            break;
        size_t end = kept.find(' ', start);
        if (end == std::string::npos)
            end = kept.size();
        // Punctuation around it aside; a name (motor.speed, --count, 0x20) is no word.
        size_t first = start, last = end;
        while (first < last && strchr(",;:()?!\"", kept[first]) != nullptr)
            ++first;
        while (last > first && strchr(",;:()?!\"", kept[last - 1]) != nullptr)
            --last;
        bool letters = last - first >= 2;
        for (size_t i = first; letters && i < last; ++i)
            letters = (kept[i] >= 'a' && kept[i] <= 'z') || (kept[i] >= 'A' && kept[i] <= 'Z');
        words += letters;
        at = end;
    }
    return words < 2;
}

// Text of several lines, line by line.
std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    lines.push_back(text.substr(start));
    return lines;
}

// Where a line splits into two messages: its first ": " or "; ", or blanks
// that set a column apart (a help line's command and its words).
size_t Separator(const std::string& text, size_t* width)
{
    size_t best = std::string::npos;
    for (const char* separator : { ": ", "; ", "  " }) {
        size_t at = text.find(separator);
        if (at != std::string::npos && (best == std::string::npos || at < best)) {
            best = at;
            *width = strlen(separator);
        }
    }
    if (best != std::string::npos && text[best] == ' ' && *width == 2)
        *width = text.find_first_not_of(' ', best) == std::string::npos ? text.size() - best
                                                                         : text.find_first_not_of(' ', best) - best;
    return best;
}

std::string Literal(const std::string& utf8, LiteralEncoder literal)
{
    return literal != nullptr ? literal(utf8) : utf8;
}

std::string Translate(const std::string& text, LiteralEncoder literal, int depth)
{
    if (depth > kMaxDepth || text.empty())
        return text;
    for (size_t i = 0; i < kChineseCatalogueSize; ++i)
        if (text == kChineseCatalogue[i].english)
            return Literal(kChineseCatalogue[i].chinese, literal);   // a whole text of several lines
    if (text.find('\n') != std::string::npos) {
        std::string lines;
        for (const std::string& line : Lines(text))
            lines += Translate(line, literal, depth) + "\n";
        lines.pop_back();
        return lines;
    }
    std::vector<std::string> arguments;
    if (const ParsedEntry* entry = FindKey(text, &arguments)) {
        std::string chinese;
        size_t next = 0;
        for (const Segment& segment : entry->chinese) {
            if (!segment.conversion) {
                chinese += Literal(segment.text, literal);
                continue;
            }
            const size_t index = segment.position > 0 ? static_cast<size_t>(segment.position - 1) : next++;
            if (index >= arguments.size())
                continue;   // a catalogue mistake, which its test catches
            chinese += segment.kind == 's' ? Translate(arguments[index], literal, depth + 1) : arguments[index];
        }
        return chinese;
    }
    size_t width = 0;
    const size_t at = Separator(text, &width);
    if (at == std::string::npos)
        return text;
    return Translate(text.substr(0, at), literal, depth + 1) + text.substr(at, width) +
           Translate(text.substr(at + width), literal, depth + 1);
}

void Cover(const std::string& text, int depth, std::vector<std::string>* missing,
           std::vector<const CatalogueEntry*>* used)
{
    if (depth > kMaxDepth || text.empty())
        return;
    for (size_t i = 0; i < kChineseCatalogueSize; ++i) {
        if (text == kChineseCatalogue[i].english) {
            used->push_back(&kChineseCatalogue[i]);   // a key as the code writes it
            return;
        }
    }
    if (text.find('\n') != std::string::npos) {
        for (const std::string& line : Lines(text))
            Cover(line, depth, missing, used);
        return;
    }
    std::vector<std::string> arguments;
    if (const ParsedEntry* entry = FindKey(text, &arguments)) {
        used->push_back(entry->entry);
        for (const std::string& argument : arguments)
            Cover(argument, depth + 1, missing, used);
        return;
    }
    size_t width = 0;
    const size_t at = Separator(text, &width);
    if (at == std::string::npos) {
        if (!ReadsAsName(text))
            missing->push_back(text);
        return;
    }
    Cover(text.substr(0, at), depth + 1, missing, used);
    Cover(text.substr(at + width), depth + 1, missing, used);
}

} // namespace

std::string Chinese(const std::string& english, LiteralEncoder literal)
{
    return Translate(english, literal, 0);
}

void CatalogueCoverage(const std::string& english, std::vector<std::string>* missing,
                       std::vector<const CatalogueEntry*>* used)
{
    Cover(english, 0, missing, used);
}

Language LanguageFor(const char* velkLang, unsigned codePage)
{
    if (velkLang != nullptr && strcmp(velkLang, "zh") == 0)
        return kChineseFirst;
    if (velkLang != nullptr && strcmp(velkLang, "en") == 0)
        return kEnglishOnly;
    return codePage == 936 ? kChineseFirst : kEnglishOnly;
}

std::string InLanguage(const std::string& english, Language language, const char* between, LiteralEncoder literal)
{
    if (language != kChineseFirst)
        return english;
    const std::string chinese = Chinese(english, literal);
    return chinese == english ? english : chinese + between + english;
}
