#include "formats/Predicate.h"

#include <string.h>

#include <functional>
#include <vector>

#include "common/Escapes.h"
#include "common/FormatText.h"
#include "formats/NumberArgument.h"
#include "common/Catalogue.h"

namespace {

const char* const kOpNames[] = { "eq", "ne", "lt", "le", "gt", "ge", "changed", "contains" };
const size_t kOpWords = sizeof kOpNames / sizeof kOpNames[0];
// The same comparisons as symbols, for panels' lamps and whoever writes them so.
const char* const kOpSymbols[] = { "==", "!=", "<", "<=", ">", ">=" };
const size_t kOpSymbolCount = sizeof kOpSymbols / sizeof kOpSymbols[0];
const char kOpList[] = "eq ne lt le gt ge changed contains";
const char kTextOpList[] = "eq ne changed contains";

struct Word {
    std::string text;
    size_t column;   // from 1
};

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Words between blanks; a word in double quotes may hold blanks, and \" and
// \\ inside it stand for " and \. False with *badColumn at a quote that is
// never closed.
bool SplitWords(const std::string& text, std::vector<Word>* words, size_t* badColumn)
{
    size_t i = 0;
    while (i < text.size()) {
        if (IsBlank(text[i])) {
            ++i;
            continue;
        }
        const size_t start = i;
        std::string word;
        if (text[i] == '"') {
            for (++i; i < text.size() && text[i] != '"'; ++i) {
                if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == '"' || text[i + 1] == '\\'))
                    ++i;
                word += text[i];
            }
            if (i == text.size()) {
                *badColumn = start + 1;
                return false;
            }
            ++i;
        } else {
            while (i < text.size() && !IsBlank(text[i]))
                word += text[i++];
        }
        words->push_back({ word, start + 1 });
    }
    return true;
}

bool Fail(std::string* error, size_t column, const std::string& what)
{
    *error = FormatText(N_("at column %zu"), column) + ": " + what;
    return false;
}

bool StartsName(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool IsHex(const std::string& text)
{
    return text.size() > 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

// A code's VALUE: the data word, signed decimal or its 32 bits in hex.
bool CodeValue(const std::string& text, double* value)
{
    int64_t parsed = 0;
    if (IsHex(text)) {
        if (!ParseNumberArgument(text.c_str(), 0, 0xFFFFFFFFLL, &parsed))
            return false;
        *value = static_cast<int32_t>(static_cast<uint32_t>(parsed));
        return true;
    }
    if (!ParseNumberArgument(text.c_str(), INT32_MIN, INT32_MAX, &parsed))
        return false;
    *value = static_cast<double>(parsed);
    return true;
}

// A signal's VALUE as a number: an optional minus, then decimal or 0x-hex.
bool SignalNumber(const std::string& text, double* value)
{
    bool negative = !text.empty() && text[0] == '-';
    std::string rest = negative ? text.substr(1) : text;
    double parsed = 0;
    if (IsHex(rest)) {
        int64_t whole = 0;
        if (!ParseNumberArgument(rest.c_str(), 0, 0xFFFFFFFFLL, &whole))
            return false;
        parsed = static_cast<double>(whole);
    } else if (!ParseDecimalArgument(rest, &parsed)) {
        return false;
    }
    *value = negative ? -parsed : parsed;
    return true;
}

// What changed keeps of a payload: short ones whole, long ones by length
// and hash, so that 4096 codes of 64 KiB payloads stay small.
std::string PayloadState(const std::string& bytes)
{
    if (bytes.size() <= 64)
        return bytes;
    return FormatText("%zu:%zx", bytes.size(), std::hash<std::string>()(bytes));
}

} // namespace

bool ParseSignalValue(const std::string& text, const std::string& signal, const SignalResolver& signals,
                      double* value, std::string* error)
{
    if (!text.empty() && StartsName(text[0]))
        return signals.ResolveEnum(signal, text, value, error);
    if (SignalNumber(text, value))
        return true;
    // A name in free text ("2 wheel drive"): the loader refuses one that reads as another number.
    std::string notNamed;
    if (signals.ResolveEnum(signal, text, value, &notNamed))
        return true;
    *error = FormatText(N_("bad VALUE %s: expected a number (2, -0.5, 2.5e3, 0x1f) or a name of the signal's enum"),
                        QuoteInput(text).c_str());
    return false;
}

const char* PredicateOpName(PredicateOp op)
{
    return op < kOpWords ? kOpNames[op] : "";
}

bool ParsePredicate(const std::string& text, const SignalResolver* signals, Predicate* predicate,
                    std::string* error)
{
    std::vector<Word> words;
    size_t badColumn = 0;
    if (!SplitWords(text, &words, &badColumn))
        return Fail(error, badColumn, N_("the closing \" of this text is missing"));
    const size_t end = text.size() + 1;
    if (words.empty())
        return Fail(error, end, FormatText(N_("expected CODE[/MASK] or a signal name, then one of %s"), kOpList));

    Predicate parsed;
    const Word& subject = words[0];
    std::string why;
    if (!ParseCodePattern(subject.text, &parsed.pattern, &why)) {
        // Not a code: a signal name, when there are signals to name.
        if (signals == nullptr || subject.text.find('/') != std::string::npos)
            return Fail(error, subject.column,
                        signals == nullptr ? why + "; " + N_("signal names need a signal file") : why);
        if (!signals->ResolveSignal(subject.text, &parsed.pattern.code, &why))
            return Fail(error, subject.column, why);
        parsed.pattern.mask = 0xFFFFFFFF;
        parsed.signal = subject.text;
        parsed.textSignal = signals->IsTextSignal(subject.text);
    }

    if (words.size() < 2) {
        // No operator: any message of the codes.
        parsed.op = kPredicateAny;
        *predicate = parsed;
        return true;
    }
    const Word& opWord = words[1];
    size_t op = 0;
    while (op < kOpWords && opWord.text != kOpNames[op] && (op >= kOpSymbolCount || opWord.text != kOpSymbols[op]))
        ++op;
    if (op == kOpWords)
        return Fail(error, opWord.column, FormatText(N_("unknown operator %s (expected one of %s)"),
                                                     QuoteInput(opWord.text).c_str(), kOpList));
    parsed.op = static_cast<PredicateOp>(op);
    const bool ordering = parsed.op >= kPredicateLt && parsed.op <= kPredicateGe;
    if (parsed.textSignal && ordering)
        return Fail(error, opWord.column, FormatText(N_("%s is a text: it takes %s, not %s"), parsed.signal.c_str(),
                                                     kTextOpList, opWord.text.c_str()));
    if (!parsed.textSignal && parsed.op == kPredicateContains)
        return Fail(error, opWord.column, N_("contains takes a text signal (a string message or a str field)"));

    const size_t wanted = parsed.op == kPredicateChanged ? 2 : 3;
    if (words.size() > wanted) {
        const Word& extra = words[wanted];
        const char* why = parsed.op == kPredicateChanged ? N_("changed takes no VALUE, found %s")
                          : parsed.textSignal ? N_("unexpected %s after the VALUE (a text with blanks goes in double quotes)")
                                              : N_("unexpected %s after the VALUE");
        return Fail(error, extra.column, FormatText(why, QuoteInput(extra.text).c_str()));
    }
    if (words.size() < wanted)
        return Fail(error, end, FormatText(N_("%s needs a VALUE"), kOpNames[op]));
    if (wanted == 3) {
        const Word& value = words[2];
        if (parsed.textSignal) {
            parsed.text = value.text;
        } else if (parsed.signal.empty()) {
            if (!CodeValue(value.text, &parsed.operand))
                return Fail(error, value.column,
                            FormatText(!value.text.empty() && StartsName(value.text[0])
                                           ? N_("bad VALUE %s: enum names need a signal, and a code's value is a number")
                                           : N_("bad VALUE %s: expected a whole 32-bit number, decimal or 0x-hex"),
                                       QuoteInput(value.text).c_str()));
        } else if (!ParseSignalValue(value.text, parsed.signal, *signals, &parsed.operand, &why)) {
            return Fail(error, value.column, why);
        }
    }
    // Said of the whole comparison, not of a column.
    if (!parsed.signal.empty() && !signals->ComparisonCanChange(parsed, error))
        return false;
    *predicate = parsed;
    return true;
}

bool PredicateEvaluator::Holds(const RecordedMessage& message)
{
    MessageFilter codes;
    codes.AddCode(predicate_.pattern);
    if (!codes.Passes(message.code))
        return false;
    if (predicate_.op == kPredicateAny)
        return true;
    if (predicate_.textSignal)
        return HoldsForText(message);
    double value = 0;
    std::string state;
    if (!predicate_.signal.empty()) {
        if (signals_ == nullptr || !signals_->ExtractSignal(predicate_.signal, message, &value))
            return false;
        state.assign(reinterpret_cast<const char*>(&value), sizeof value);
    } else if (message.kind == kValueMessage) {
        value = message.value;
        state.assign(reinterpret_cast<const char*>(&message.value), sizeof message.value);
    } else {
        if (predicate_.op != kPredicateChanged)
            return false;
        state = PayloadState(message.bytes);
    }
    const double operand = predicate_.operand;
    switch (predicate_.op) {
    case kPredicateEq: return value == operand;
    case kPredicateNe: return value != operand;
    case kPredicateLt: return value < operand;
    case kPredicateLe: return value <= operand;
    case kPredicateGt: return value > operand;
    case kPredicateGe: return value >= operand;
    case kPredicateChanged: return Changed(message.code, state);
    default: return false;
    }
}

bool PredicateEvaluator::HoldsForText(const RecordedMessage& message)
{
    std::string text;
    if (signals_ == nullptr || !signals_->ExtractText(predicate_.signal, message, &text))
        return false;
    switch (predicate_.op) {
    case kPredicateEq: return text == predicate_.text;
    case kPredicateNe: return text != predicate_.text;
    case kPredicateContains: return text.find(predicate_.text) != std::string::npos;
    case kPredicateChanged: return Changed(message.code, PayloadState(text));
    default: return false;
    }
}

bool PredicateEvaluator::Changed(uint32_t code, const std::string& state)
{
    auto found = last_.find(code);
    if (found == last_.end()) {
        if (!Full())
            last_.emplace(code, state);
        return false;
    }
    if (found->second == state)
        return false;
    found->second = state;
    return true;
}
