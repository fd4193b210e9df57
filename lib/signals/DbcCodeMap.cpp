#include "signals/DbcCodeMap.h"

#include <stdlib.h>

#include "common/Catalogue.h"
#include "common/Escapes.h"
#include "common/FormatText.h"
#include "formats/CodeArgument.h"
#include "protocol/MessageCode.h"
#include "signals/DbcFile.h"

namespace {

// A BO_ identifier: standard up to 7FF, or bit 31 and up to 1FFFFFFF below it.
bool ParseIdentifier(const std::string& text, uint32_t* id)
{
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    if (digits.empty() || digits.size() > 10 || digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") != std::string::npos)
        return false;
    const unsigned long long value = strtoull(digits.c_str(), nullptr, hex ? 16 : 10);
    const bool extended = (value & kDbcExtendedFlag) != 0;
    if (value > (kDbcExtendedFlag | 0x1FFFFFFFu) || (!extended && value > 0x7FF))
        return false;
    *id = static_cast<uint32_t>(value);
    return true;
}

} // namespace

bool ReadDbcCodeMap(const std::string& text, const std::string& fileName, DbcCodeMap* map, std::vector<std::string>* errors)
{
    errors->clear();
    std::unordered_map<uint32_t, int> idLine, codeLine;
    size_t count = 0;
    auto error = [&](int line, size_t column, const std::string& what) {
        if (count++ < kMaxDbcErrors)
            errors->push_back(FormatText("%s:%d:%llu: ", fileName.c_str(), line, static_cast<unsigned long long>(column)) + what);
    };
    int line = 0;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string row = text.substr(at, end - at);
        at = end + 1;
        ++line;
        if (!row.empty() && row.back() == '\r')
            row.pop_back();
        // The words of the row and their columns (the row is ASCII where it matters).
        std::vector<std::pair<std::string, size_t>> words;
        for (size_t i = 0; i < row.size() && row[i] != '#';) {
            if (row[i] == ' ' || row[i] == '\t') {
                ++i;
                continue;
            }
            const size_t start = i;
            while (i < row.size() && row[i] != ' ' && row[i] != '\t' && row[i] != '#')
                ++i;
            words.emplace_back(row.substr(start, i - start), start + 1);
        }
        if (words.empty())
            continue;
        uint32_t id = 0, code = 0;
        std::string why;
        if (words.size() != 2) {
            error(line, words[0].second, N_("expected IDENTIFIER CODE (291 30000400)"));
        } else if (!ParseIdentifier(words[0].first, &id)) {
            error(line, words[0].second, FormatText(N_("%s is not a CAN identifier as BO_ writes it"), QuoteInput(words[0].first, 40).c_str()));
        } else if (!ParseCodeArgument(words[1].first, "code", &code, &why)) {
            error(line, words[1].second, why);
        } else if (ClassifyCode(code) != kArrayPayload) {
            error(line, words[1].second, FormatText(N_("%08x is not an array code"), code));
        } else if (idLine.count(id) != 0) {
            error(line, words[0].second, FormatText(N_("identifier %s is given twice (first at line %d)"), words[0].first.c_str(), idLine[id]));
        } else if (codeLine.count(code) != 0) {
            error(line, words[1].second, FormatText(N_("code %08x is given twice (first at line %d)"), code, codeLine[code]));
        } else {
            idLine[id] = line;
            codeLine[code] = line;
            map->codeOfId[id] = code;
            map->idOfCode[code] = id;
        }
    }
    if (count > kMaxDbcErrors)
        errors->push_back(fileName + ": " + FormatText(N_("more errors left out (the first %d are shown)"), static_cast<int>(kMaxDbcErrors)));
    return errors->empty();
}
