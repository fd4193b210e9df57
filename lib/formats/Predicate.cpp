#include "formats/Predicate.h"

#include <string.h>

#include <functional>
#include <vector>

#include "common/Escapes.h"
#include "common/FormatText.h"
#include "formats/NumberArgument.h"

namespace {

const char* const kOpNames[] = { "eq", "ne", "lt", "le", "gt", "ge", "changed" };
// The same comparisons as symbols, for panels' lamps and whoever writes them so.
const char* const kOpSymbols[] = { "==", "!=", "<", "<=", ">", ">=" };
const char kOpList[] = "eq ne lt le gt ge changed";

struct Word {
    std::string text;
    size_t column;   // from 1
};

std::vector<Word> SplitWords(const std::string& text)
{
    std::vector<Word> words;
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ' || text[i] == '\t') {
            ++i;
            continue;
        }
        size_t start = i;
        while (i < text.size() && text[i] != ' ' && text[i] != '\t')
            ++i;
        words.push_back({ text.substr(start, i - start), start + 1 });
    }
    return words;
}

bool Fail(std::string* error, size_t column, const std::string& what)
{
    *error = FormatText("at column %zu: ", column) + what;
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
    *error = "bad VALUE " + QuoteInput(text) + ": expected a number (2, -0.5, 2.5e3, 0x1f) or a name of the signal's enum";
    return false;
}

const char* PredicateOpName(PredicateOp op)
{
    return kOpNames[op];
}

bool ParsePredicate(const std::string& text, const SignalResolver* signals, Predicate* predicate,
                    std::string* error)
{
    const std::vector<Word> words = SplitWords(text);
    const size_t end = text.size() + 1;
    if (words.empty())
        return Fail(error, end, std::string("expected CODE[/MASK] or a signal name, then one of ") + kOpList);

    Predicate parsed;
    const Word& subject = words[0];
    std::string why;
    if (!ParseCodePattern(subject.text, &parsed.pattern, &why)) {
        // Not a code: a signal name, when there are signals to name.
        if (signals == nullptr || subject.text.find('/') != std::string::npos)
            return Fail(error, subject.column,
                        signals == nullptr ? why + "; signal names need a signal file" : why);
        if (!signals->ResolveSignal(subject.text, &parsed.pattern.code, &why))
            return Fail(error, subject.column, why);
        parsed.pattern.mask = 0xFFFFFFFF;
        parsed.signal = subject.text;
    }

    if (words.size() < 2)
        return Fail(error, end, std::string("expected an operator after ") + QuoteInput(subject.text) + ": one of " +
                                kOpList);
    const Word& opWord = words[1];
    size_t op = 0;
    while (op < sizeof kOpNames / sizeof kOpNames[0] && opWord.text != kOpNames[op] &&
           (op >= sizeof kOpSymbols / sizeof kOpSymbols[0] || opWord.text != kOpSymbols[op]))
        ++op;
    if (op == sizeof kOpNames / sizeof kOpNames[0])
        return Fail(error, opWord.column, "unknown operator " + QuoteInput(opWord.text) + " (expected one of " +
                                          kOpList + ")");
    parsed.op = static_cast<PredicateOp>(op);

    const size_t wanted = parsed.op == kPredicateChanged ? 2 : 3;
    if (words.size() > wanted) {
        const Word& extra = words[wanted];
        return Fail(error, extra.column, parsed.op == kPredicateChanged
                                             ? "changed takes no VALUE, found " + QuoteInput(extra.text)
                                             : "unexpected " + QuoteInput(extra.text) + " after the VALUE");
    }
    if (words.size() < wanted)
        return Fail(error, end, std::string(kOpNames[op]) + " needs a VALUE");
    if (wanted == 3) {
        const Word& value = words[2];
        if (parsed.signal.empty()) {
            if (!CodeValue(value.text, &parsed.operand))
                return Fail(error, value.column,
                            "bad VALUE " + QuoteInput(value.text) +
                                (StartsName(value.text[0]) ? ": enum names need a signal, and a code's value is a number"
                                                           : ": expected a whole 32-bit number, decimal or 0x-hex"));
        } else if (!ParseSignalValue(value.text, parsed.signal, *signals, &parsed.operand, &why)) {
            return Fail(error, value.column, why);
        }
    }
    *predicate = parsed;
    return true;
}

bool PredicateEvaluator::Holds(const RecordedMessage& message)
{
    MessageFilter codes;
    codes.AddCode(predicate_.pattern);
    if (!codes.Passes(message.code))
        return false;
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
    }
    return false;
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
