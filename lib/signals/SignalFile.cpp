#include "signals/SignalFile.h"

#include <algorithm>
#include <map>
#include <math.h>
#include <tuple>
#include <unordered_map>

#include "signals/TomlText.h"

#include "common/FormatText.h"
#include "velk/SharedBus.h"
#include "common/ClosestWord.h"
#include "common/Escapes.h"
#include "formats/CodeArgument.h"
#include "formats/Duration.h"
#include "formats/NumberArgument.h"

namespace {

typedef std::vector<std::string> Words;

const Words kMessageKeys = { "code", "name", "comment", "period" };
const Words kValueKeys = { "unit", "scale", "offset", "min", "max", "signed", "enum" };
const Words kStringKeys = { "encoding" };
const Words kArrayKeys = { "field" };
const Words kFieldKeys = { "name", "byte", "type", "endian", "bit", "bits", "length", "encoding",
                           "unit", "scale", "offset", "min", "max", "enum" };

Words Join(const Words& a, const Words& b)
{
    Words joined = a;
    joined.insert(joined.end(), b.begin(), b.end());
    return joined;
}

bool Contains(const Words& words, const std::string& word)
{
    return std::find(words.begin(), words.end(), word) != words.end();
}

std::string List(const Words& words)
{
    std::string list;
    for (const std::string& word : words)
        list += (list.empty() ? "" : ", ") + word;
    return list;
}

// The keys of a field of a type (made once: a file may hold 10^5 fields).
const Words& FieldKeysOf(SignalType type)
{
    static const Words common = { "name", "byte", "type" };
    static const Words text = Join(common, { "length", "encoding" });
    static const Words flag = Join(common, { "bit", "bits", "endian", "enum" });
    static const Words real = Join(common, { "endian", "unit", "scale", "offset", "min", "max" });
    static const Words whole = Join(common, { "bit", "bits", "endian", "unit", "scale", "offset", "min", "max", "enum" });
    if (type == kSignalStr)
        return text;
    if (type == kSignalBool)
        return flag;
    return IsFloatType(type) ? real : whole;
}

// Message and field names: A-Z a-z 0-9 _ in parts joined by single dots.
bool IsSignalName(const std::string& name)
{
    if (name.empty() || name.front() == '.' || name.back() == '.' || name.find("..") != std::string::npos)
        return false;
    for (char c : name) {
        if (!(isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.'))
            return false;
    }
    return true;
}

// An enum name stands alone in a monitor line and on a command line:
// no blank, control character or '=', and not taken for a number.
bool IsEnumName(const std::string& name)
{
    if (name.empty() || isdigit(static_cast<unsigned char>(name[0])) || name[0] == '-' || name[0] == '+' || name[0] == '.')
        return false;
    for (char c : name) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (byte <= ' ' || byte == 0x7f || c == '=' || c == '"')
            return false;
    }
    return true;
}

// C0, DEL, C1 and the bidirectional overrides: a name or unit holding one
// could act on the terminal that shows it, or reorder the line around it.
bool HasControl(const std::string& text)
{
    for (size_t at = 0; at < text.size(); ++at) {
        unsigned point = 0;
        if (static_cast<unsigned char>(text[at]) < ' ' || text[at] == 0x7f || HiddenControlAt(text, at, &point) != 0)
            return true;
    }
    return false;
}

// Of two places in the file, the one further on.
const toml::source_region& Later(const toml::source_region& a, const toml::source_region& b)
{
    return std::tie(a.begin.line, a.begin.column) > std::tie(b.begin.line, b.begin.column) ? a : b;
}

class Loader {
public:
    Loader(const std::string& fileName, std::vector<std::string>* errors) : fileName_(fileName), errors_(errors) {}

    void Load(const std::string& text, std::vector<SignalMessage>* messages);

private:
    void Error(const toml::source_region& where, const std::string& what);

    bool LoadMessage(const toml::table& table, SignalMessage* message);
    bool LoadField(const toml::table& table, const SignalMessage& message, Signal* field);
    // The keys unit scale offset min max enum, common to value messages and fields.
    bool LoadScaling(const std::string& key, const toml::node& node, Signal* signal, const toml::node** enumNode,
                     const toml::node** maxNode);
    bool CheckScaling(Signal* signal, const toml::node* enumNode, const toml::node* maxNode);
    bool LoadEnum(const toml::node& node, Signal* signal);
    void CheckOverlaps(const SignalMessage& message, const std::vector<toml::source_region>& where);
    bool CheckNames(const SignalMessage& message, const toml::source_region& nameWhere,
                    const std::vector<toml::source_region>& fieldWhere);

    bool String(const toml::node& node, const char* what, std::string* text);
    bool Integer(const toml::node& node, const char* what, int64_t lowest, int64_t highest, int64_t* value);
    bool Number(const toml::node& node, const char* what, double* value);
    void KeyError(const toml::key& key, const Words& fits, const std::string& fitsWhat);

    std::string fileName_;
    // In the file's order when told: toml++ hands a table's keys over sorted.
    void Finish();

    // An error kept for the report; order breaks ties in the order found.
    struct Pending {
        unsigned line, column;
        size_t order;
        std::string text;
        bool operator<(const Pending& other) const
        {
            return std::tie(line, column, order) < std::tie(other.line, other.column, other.order);
        }
    };
    void Keep(unsigned line, unsigned column, const std::string& text);

    std::vector<std::string>* errors_;
    std::vector<Pending> pending_;   // a max-heap of the first kMaxSignalErrors in the file, the latest on top
    size_t errorCount_ = 0;
    std::unordered_map<uint32_t, int> codeLines_;
    std::unordered_map<std::string, int> nameLines_;
};

// Only the first kMaxSignalErrors in the file are kept, whatever order they
// are found in, so the report's "the first 50" is true.
void Loader::Keep(unsigned line, unsigned column, const std::string& text)
{
    Pending error{ line, column, errorCount_++, std::string() };
    if (pending_.size() == kMaxSignalErrors) {
        if (!(error < pending_.front()))
            return;
        std::pop_heap(pending_.begin(), pending_.end());
        pending_.pop_back();
    }
    error.text = text;
    pending_.push_back(std::move(error));
    std::push_heap(pending_.begin(), pending_.end());
}

void Loader::Error(const toml::source_region& where, const std::string& what)
{
    const unsigned line = static_cast<unsigned>(where.begin.line), column = static_cast<unsigned>(where.begin.column);
    Keep(line, column, FormatText("%s:%u:%u: ", fileName_.c_str(), line, column) + what);
}

void Loader::Finish()
{
    std::sort_heap(pending_.begin(), pending_.end());
    for (const Pending& error : pending_)
        errors_->push_back(error.text);
    if (errorCount_ > kMaxSignalErrors)
        errors_->push_back(fileName_ + FormatText(": more errors left out (the first %d are shown)", kMaxSignalErrors));
}

bool Loader::String(const toml::node& node, const char* what, std::string* text)
{
    if (!node.is_string()) {
        Error(node.source(), std::string(what) + " must be text in quotes");
        return false;
    }
    *text = node.as_string()->get();
    if (HasControl(*text)) {
        Error(node.source(), std::string(what) + " must not hold control characters");
        return false;
    }
    return true;
}

bool Loader::Integer(const toml::node& node, const char* what, int64_t lowest, int64_t highest, int64_t* value)
{
    if (!node.is_integer() || node.as_integer()->get() < lowest || node.as_integer()->get() > highest) {
        Error(node.source(), FormatText("%s must be a whole number from %lld to %lld", what,
                                        static_cast<long long>(lowest), static_cast<long long>(highest)));
        return false;
    }
    *value = node.as_integer()->get();
    return true;
}

bool Loader::Number(const toml::node& node, const char* what, double* value)
{
    double number = NAN;
    if (node.is_integer())
        number = static_cast<double>(node.as_integer()->get());
    else if (node.is_floating_point())
        number = node.as_floating_point()->get();
    if (!isfinite(number)) {
        Error(node.source(), std::string(what) + " must be a finite number");
        return false;
    }
    *value = number;
    return true;
}

void Loader::KeyError(const toml::key& key, const Words& fits, const std::string& fitsWhat)
{
    const std::string word(key.str());
    const Words known = Join(Join(Join(Join(kMessageKeys, kValueKeys), kStringKeys), kArrayKeys), kFieldKeys);
    if (Contains(known, word)) {
        Error(key.source(), "key '" + word + "' does not fit " + fitsWhat + ", which takes " + List(fits));
        return;
    }
    const std::string meant = ClosestWord(word, fits);
    Error(key.source(), "unknown key '" + word + "'" + (meant.empty() ? " (expected " + List(fits) + ")"
                                                                     : " (did you mean '" + meant + "'?)"));
}

bool Loader::LoadEnum(const toml::node& node, Signal* signal)
{
    const toml::table* table = node.as_table();
    if (table == nullptr) {
        Error(node.source(), "enum must be a table of raw value = \"NAME\", like enum = { 0 = \"STOPPED\", 2 = \"RUNNING\" }");
        return false;
    }
    int64_t lowest, highest;
    signal->RawLimits(&lowest, &highest);
    bool good = true;
    // Where each entry is (toml++ hands keys over sorted, not in file order),
    // and the first entry of each raw value and name.
    std::vector<toml::source_region> keyWhere, nameWhere;
    std::unordered_map<int64_t, size_t> byRaw;
    std::unordered_map<std::string, size_t> byName;
    byRaw.reserve(table->size());
    byName.reserve(table->size());
    for (auto&& [key, value] : *table) {
        const std::string rawText(key.str());
        int64_t raw;
        std::string name;
        if (!ParseNumberArgument(rawText.c_str(), INT64_MIN, INT64_MAX, &raw) || raw < lowest || raw > highest) {
            Error(key.source(), FormatText("enum key '%s' is not a raw value of this signal (%lld to %lld)",
                                           rawText.c_str(), static_cast<long long>(lowest), static_cast<long long>(highest)));
            good = false;
            continue;
        }
        if (!String(value, "an enum name", &name)) {
            good = false;
            continue;
        }
        if (!IsEnumName(name)) {
            Error(value.source(), "enum name '" + name + "' must not be empty, begin with a digit, sign or dot, "
                                  "or hold a blank, '=' or '\"'");
            good = false;
            continue;
        }
        const size_t index = signal->enums.size();
        const auto sameRaw = byRaw.emplace(raw, index);
        const auto sameName = byName.emplace(name, index);
        if (!sameRaw.second) {
            Error(Later(keyWhere[sameRaw.first->second], key.source()),
                  FormatText("enum value %lld given twice", static_cast<long long>(raw)));
            good = false;
        }
        if (!sameName.second) {
            Error(Later(nameWhere[sameName.first->second], value.source()), "enum name '" + name + "' given twice");
            good = false;
        }
        signal->enums.push_back(SignalEnumEntry{ raw, name });
        keyWhere.push_back(key.source());
        nameWhere.push_back(value.source());
    }
    std::sort(signal->enums.begin(), signal->enums.end(),
              [](const SignalEnumEntry& a, const SignalEnumEntry& b) { return a.raw < b.raw; });
    return good;
}

bool Loader::LoadScaling(const std::string& key, const toml::node& node, Signal* signal, const toml::node** enumNode,
                         const toml::node** maxNode)
{
    if (key == "unit")
        return String(node, "unit", &signal->unit);
    if (key == "enum") {
        *enumNode = &node;
        return true;
    }
    double value;
    if (!Number(node, key.c_str(), &value))
        return false;
    if (key == "scale") {
        if (value == 0) {
            Error(node.source(), "scale must not be 0");
            return false;
        }
        signal->scale = value;
    } else if (key == "offset") {
        signal->offset = value;
    } else if (key == "min") {
        signal->hasMin = true;
        signal->min = value;
    } else {
        signal->hasMax = true;
        signal->max = value;
        *maxNode = &node;
    }
    return true;
}

bool Loader::CheckScaling(Signal* signal, const toml::node* enumNode, const toml::node* maxNode)
{
    bool good = true;
    if (maxNode != nullptr && signal->hasMin && signal->min > signal->max) {
        Error(maxNode->source(), FormatText("max %.15g is below min %.15g", signal->max, signal->min));
        good = false;
    }
    if (enumNode != nullptr)
        good = LoadEnum(*enumNode, signal) && good;
    return good;
}

bool Loader::LoadField(const toml::table& table, const SignalMessage& message, Signal* field)
{
    bool good = true;
    const toml::node* type = table.get("type");
    const toml::node* name = table.get("name");
    const toml::node* byte = table.get("byte");
    if (type == nullptr || name == nullptr || byte == nullptr) {
        Error(table.source(), "a field needs name, byte and type");
        good = false;
    }
    std::string typeText;
    bool typeKnown = false;
    if (type != nullptr && String(*type, "type", &typeText)) {
        typeKnown = SignalTypeOfName(typeText, &field->type);
        if (!typeKnown) {
            Error(type->source(), "unknown type '" + typeText + "' (expected u8, u16, u32, i8, i16, i32, f32, f64, bool or str)");
            good = false;
        }
    } else if (type != nullptr) {
        good = false;
    }
    field->bits = SignalTypeBits(field->type);
    field->line = static_cast<int>(table.source().begin.line);
    field->column = static_cast<int>(table.source().begin.column);
    const toml::node* enumNode = nullptr;
    const toml::node* maxNode = nullptr;
    const Words& fits = typeKnown ? FieldKeysOf(field->type) : kFieldKeys;
    for (auto&& [key, value] : table) {
        const std::string word(key.str());
        if (!Contains(fits, word)) {
            if (word == "enum" && IsFloatType(field->type))
                Error(key.source(), "enum does not fit a float field (" + typeText + ")");
            else
                KeyError(key, fits, "a " + (typeKnown ? typeText : std::string("field")) + " field");
            good = false;
            continue;
        }
        int64_t number;
        std::string text;
        if (word == "type") {
        } else if (word == "name") {
            if (String(value, "name", &field->fieldName) && !IsSignalName(field->fieldName)) {
                Error(value.source(), "name '" + field->fieldName + "' must be A-Z a-z 0-9 _ in parts joined by dots");
                good = false;
            }
            field->name = message.name + "." + field->fieldName;
        } else if (word == "byte") {
            if (Integer(value, "byte", 0, kMaxPayloadBytes - 1, &number))
                field->byte = static_cast<unsigned>(number);
            else
                good = false;
        } else if (word == "bit") {
            if (Integer(value, "bit", 0, 7, &number))
                field->bit = static_cast<unsigned>(number);
            else
                good = false;
        } else if (word == "bits") {
            if (Integer(value, "bits", 1, SignalTypeBits(field->type) == 1 ? 8 : SignalTypeBits(field->type), &number))
                field->bits = static_cast<unsigned>(number);
            else
                good = false;
        } else if (word == "length") {
            if (Integer(value, "length", 1, kMaxPayloadBytes, &number))
                field->length = static_cast<unsigned>(number);
            else
                good = false;
        } else if (word == "endian") {
            if (!String(value, "endian", &text) || (text != "little" && text != "big")) {
                Error(value.source(), "endian must be \"little\" or \"big\"");
                good = false;
            }
            field->endian = text == "big" ? kEndianBig : kEndianLittle;
        } else if (word == "encoding") {
            if (!String(value, "encoding", &text) || (text != "gbk" && text != "utf-8")) {
                Error(value.source(), "encoding must be \"gbk\" or \"utf-8\"");
                good = false;
            }
            field->encoding = text == "utf-8" ? kEncodingUtf8 : kEncodingGbk;
        } else {
            good = LoadScaling(word, value, field, &enumNode, &maxNode) && good;
        }
    }
    if (!typeKnown)
        return false;
    good = CheckScaling(field, enumNode, maxNode) && good;
    const uint64_t end = static_cast<uint64_t>(field->byte) + (field->type == kSignalStr && field->length == 0 ? 1 : field->SpanBytes());
    if (byte != nullptr && end > kMaxPayloadBytes) {
        Error(byte->source(), FormatText("the field ends at byte %llu, past the 64 KiB an array holds",
                                         static_cast<unsigned long long>(end)));
        good = false;
    }
    if (field->type != kSignalStr && field->SpanBytes() > 1 && field->endian == kEndianNone) {
        Error(table.source(), FormatText("field '%s' spans %u bytes: it needs endian = \"little\" or \"big\"",
                                         field->fieldName.c_str(), field->SpanBytes()));
        good = false;
    }
    return good;
}

bool Loader::LoadMessage(const toml::table& table, SignalMessage* message)
{
    bool good = true;
    message->line = static_cast<int>(table.source().begin.line);
    message->column = static_cast<int>(table.source().begin.column);
    const toml::node* code = table.get("code");
    const toml::node* name = table.get("name");
    bool kindKnown = false;
    if (code == nullptr || name == nullptr) {
        Error(table.source(), "a message needs code and name");
        good = false;
    }
    std::string text, why;
    if (code != nullptr && !code->is_string()) {
        Error(code->source(), "write the code as hex text, like code = \"20001001\"");
    } else if (code != nullptr && String(*code, "code", &text)) {
        kindKnown = ParseCodeArgument(text, "code", &message->code, &why);
        if (!kindKnown)
            Error(code->source(), why);
    }
    good = good && kindKnown;
    message->kind = ClassifyCode(message->code);
    Words fits = kMessageKeys;
    if (kindKnown) {
        fits = Join(kMessageKeys, message->kind == kValueMessage ? kValueKeys
                                  : message->kind == kStringPayload ? kStringKeys : kArrayKeys);
    } else {
        fits = Join(Join(Join(kMessageKeys, kValueKeys), kStringKeys), kArrayKeys);
    }
    const std::string fitsWhat = kindKnown ? FormatText("%s %s code (%08x)", message->kind == kArrayPayload ? "an" : "a",
                                                        MessageKindName(message->kind),
                                                        static_cast<unsigned>(message->code))
                                           : std::string("a message");
    Signal self;
    self.line = message->line;
    self.column = message->column;
    self.type = message->kind == kStringPayload ? kSignalStr : kSignalI32;
    const toml::node* enumNode = nullptr;
    const toml::node* maxNode = nullptr;
    toml::source_region nameWhere = table.source();
    std::vector<toml::source_region> fieldWhere;
    for (auto&& [key, value] : table) {
        const std::string word(key.str());
        if (!Contains(fits, word)) {
            KeyError(key, fits, fitsWhat);
            good = false;
            continue;
        }
        if (word == "code") {
        } else if (word == "name") {
            nameWhere = value.source();
            if (!String(value, "name", &message->name)) {
                good = false;
            } else if (!IsSignalName(message->name)) {
                Error(value.source(), "name '" + message->name + "' must be A-Z a-z 0-9 _ in parts joined by dots");
                good = false;
            }
        } else if (word == "comment") {
            good = String(value, "comment", &message->comment) && good;
        } else if (word == "period") {
            if (!String(value, "period", &text) || !ParseDuration(text, &message->periodMicros, &why) ||
                message->periodMicros == 0) {
                Error(value.source(), "bad period: " + (value.is_string() && !why.empty() ? why : "expected a duration like \"100ms\" above 0"));
                good = false;
            }
        } else if (word == "signed") {
            if (!value.is_boolean()) {
                Error(value.source(), "signed must be true or false");
                good = false;
            } else if (!value.as_boolean()->get()) {
                self.type = kSignalU32;
            }
        } else if (word == "encoding") {
            if (!String(value, "encoding", &text) || (text != "gbk" && text != "utf-8")) {
                Error(value.source(), "encoding must be \"gbk\" or \"utf-8\"");
                good = false;
            }
            self.encoding = text == "utf-8" ? kEncodingUtf8 : kEncodingGbk;
        } else if (word != "field") {
            good = LoadScaling(word, value, &self, &enumNode, &maxNode) && good;
        }
    }
    if (!kindKnown)
        return false;
    if (message->kind != kArrayPayload) {
        good = CheckScaling(&self, enumNode, maxNode) && good;
        self.name = message->name;
        message->signals.push_back(std::move(self));
        return CheckNames(*message, nameWhere, fieldWhere) && good;
    }
    const toml::node* fields = table.get("field");
    if (fields == nullptr)
        return CheckNames(*message, nameWhere, fieldWhere) && good;
    const toml::array* list = fields->as_array();
    if (list == nullptr || !list->is_array_of_tables()) {
        Error(fields->source(), "field must be [[message.field]] tables");
        return false;
    }
    if (list->size() > kMaxSignalFields) {
        Error(fields->source(), FormatText("more than %d fields in one message", kMaxSignalFields));
        return false;
    }
    message->signals.reserve(list->size());
    for (const toml::node& node : *list) {
        Signal field;
        if (LoadField(*node.as_table(), *message, &field)) {
            message->signals.push_back(std::move(field));
            fieldWhere.push_back(node.source());
        } else {
            good = false;
        }
    }
    CheckOverlaps(*message, fieldWhere);
    return CheckNames(*message, nameWhere, fieldWhere) && good;
}

bool Loader::CheckNames(const SignalMessage& message, const toml::source_region& nameWhere,
                        const std::vector<toml::source_region>& fieldWhere)
{
    bool good = true;
    auto code = codeLines_.emplace(message.code, message.line);
    if (!code.second) {
        Error(nameWhere, FormatText("code %08x is given twice (first at line %d)", static_cast<unsigned>(message.code),
                                    code.first->second));
        good = false;
    }
    if (message.name.empty())
        return false;
    auto name = nameLines_.emplace(message.name, message.line);
    if (!name.second) {
        Error(nameWhere, FormatText("name '%s' is given twice (first at line %d)", message.name.c_str(), name.first->second));
        good = false;
    }
    if (message.kind != kArrayPayload)
        return good;
    for (size_t i = 0; i < message.signals.size() && i < fieldWhere.size(); ++i) {
        const Signal& field = message.signals[i];
        auto full = nameLines_.emplace(field.name, field.line);
        if (!full.second) {
            Error(fieldWhere[i], FormatText("name '%s' is given twice (first at line %d)", field.name.c_str(),
                                            full.first->second));
            good = false;
        }
    }
    return good;
}

// Two fields overlap when their bytes meet and, in a byte they share, their
// bits. In the file's order each field is checked against the bits the
// fields before it took: a field's bytes are a run of whole bytes and at
// most two partial ones at its ends, so a map of whole runs and one of
// partial bytes answer in log time, whatever the fields' lengths. A field
// that overlaps is reported once, with the first byte where it does, and
// takes no bits: every overlap still gives an error, since of two fields
// that overlap either the first took its bits or it was reported itself.
void Loader::CheckOverlaps(const SignalMessage& message, const std::vector<toml::source_region>& where)
{
    if (message.signals.size() < 2)
        return;
    struct Run { uint64_t end; size_t field; };
    struct Partial { unsigned taken; size_t owner[8]; };
    std::map<uint64_t, Run> runs;           // whole bytes taken, by first byte; never overlapping
    std::map<uint64_t, Partial> partials;   // bytes taken in part

    for (size_t i = 0; i < message.signals.size(); ++i) {
        const Signal& field = message.signals[i];
        const uint64_t begin = field.byte;
        const uint64_t arrayEnd = kMaxPayloadBytes;
        const uint64_t end = std::min(arrayEnd, field.type == kSignalStr && field.length == 0 ? arrayEnd
                                                                                           : begin + field.SpanBytes());
        if (begin >= end)
            continue;
        const unsigned firstMask = field.BitsInByte(static_cast<unsigned>(begin));
        const unsigned lastMask = field.BitsInByte(static_cast<unsigned>(end - 1));
        const uint64_t wholeBegin = begin + (firstMask != 0xff ? 1 : 0);
        const uint64_t wholeEnd = std::max(wholeBegin, end - (end - 1 > begin && lastMask != 0xff ? 1 : 0));

        // The first byte where a field before takes a bit of this one.
        uint64_t clash = UINT64_MAX;
        size_t other = 0;
        auto note = [&](uint64_t byte, size_t owner) {
            if (byte < clash) {
                clash = byte;
                other = owner;
            }
        };
        auto wholeAt = [&](uint64_t from, uint64_t to) {   // runs meeting [from, to)
            auto next = runs.upper_bound(from);
            if (next != runs.begin() && std::prev(next)->second.end > from)
                note(from, std::prev(next)->second.field);
            else if (next != runs.end() && next->first < to)
                note(next->first, next->second.field);
        };
        auto partialAt = [&](uint64_t byte, unsigned mask) {
            auto found = partials.find(byte);
            const unsigned shared = found == partials.end() ? 0 : found->second.taken & mask;
            for (unsigned bit = 0; bit < 8; ++bit) {
                if (shared >> bit & 1) {
                    note(byte, found->second.owner[bit]);
                    break;
                }
            }
        };
        if (wholeBegin < wholeEnd) {
            wholeAt(wholeBegin, wholeEnd);
            auto part = partials.lower_bound(wholeBegin);
            if (part != partials.end() && part->first < wholeEnd)
                partialAt(part->first, 0xff);
        }
        const uint64_t partialBytes[2] = { wholeBegin > begin ? begin : UINT64_MAX,
                                           wholeEnd < end && end - 1 > begin ? end - 1 : UINT64_MAX };
        for (uint64_t byte : partialBytes) {
            if (byte == UINT64_MAX)
                continue;
            wholeAt(byte, byte + 1);
            partialAt(byte, field.BitsInByte(static_cast<unsigned>(byte)));
        }
        if (clash != UINT64_MAX) {
            Error(where[i], FormatText("field '%s' overlaps field '%s' in byte %llu", field.fieldName.c_str(),
                                       message.signals[other].fieldName.c_str(), static_cast<unsigned long long>(clash)));
            continue;
        }
        if (wholeBegin < wholeEnd)
            runs.emplace(wholeBegin, Run{ wholeEnd, i });
        for (uint64_t byte : partialBytes) {
            if (byte == UINT64_MAX)
                continue;
            Partial& part = partials.emplace(byte, Partial{ 0, {} }).first->second;
            const unsigned mask = field.BitsInByte(static_cast<unsigned>(byte));
            for (unsigned bit = 0; bit < 8; ++bit)
                if (mask >> bit & 1)
                    part.owner[bit] = i;
            part.taken |= mask;
        }
    }
}

void Loader::Load(const std::string& text, std::vector<SignalMessage>* messages)
{
    toml::table root;
    TomlProblem problem;
    if (!ParseTomlText(text, fileName_, &root, &problem)) {
        Keep(problem.line, problem.column, TomlProblemText(fileName_, problem));
        Finish();
        return;
    }
    const toml::array* list = nullptr;
    for (auto&& [key, value] : root) {
        if (key.str() != "message") {
            KeyError(key, { "message" }, "the file");
        } else if (value.as_array() == nullptr || !value.as_array()->is_array_of_tables()) {
            Error(value.source(), "message must be [[message]] tables");
        } else {
            list = value.as_array();
        }
    }
    if (list != nullptr) {
        for (const toml::node& node : *list) {
            // A message's errors lie at or after its header, so once more
            // than the bound are found and all kept ones lie before it,
            // nothing further on could be shown.
            const toml::table& table = *node.as_table();
            if (errorCount_ > kMaxSignalErrors && pending_.front().line < table.source().begin.line)
                break;
            SignalMessage message;
            if (LoadMessage(table, &message))
                messages->push_back(std::move(message));
        }
    }
    Finish();
}

} // namespace

bool LoadSignalFile(const std::string& text, const std::string& fileName, SignalDatabase* database,
                    std::vector<std::string>* errors)
{
    errors->clear();
    try {
        std::vector<SignalMessage> messages;
        Loader(fileName, errors).Load(text, &messages);
        if (!errors->empty())
            return false;
        database->Assign(std::move(messages));
        return true;
    } catch (const std::exception& e) {
        errors->push_back(fileName + ": " + e.what());
    } catch (...) {
        errors->push_back(fileName + ": could not be read");
    }
    return false;
}
