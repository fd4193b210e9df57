#include "signals/SignalFile.h"

#include <algorithm>
#include <map>
#include <tuple>
#include <unordered_map>

#include "signals/EnumNames.h"
#include "signals/FileErrors.h"
#include "signals/SignalCodec.h"
#include "signals/TomlText.h"
#include "signals/TomlValues.h"

#include "common/Escapes.h"
#include "common/FormatText.h"
#include "protocol/PayloadLimits.h"
#include "common/ClosestWord.h"
#include "common/WordList.h"
#include "formats/CodeArgument.h"
#include "formats/Duration.h"
#include "formats/NumberArgument.h"
#include "common/Catalogue.h"

namespace {

const Words kMessageKeys = { "code", "name", "comment", "period" };
const Words kValueKeys = { "unit", "scale", "offset", "min", "max", "signed", "enum", "init", "counter" };
const Words kStringKeys = { "encoding", "init" };
const Words kArrayKeys = { "field" };
const Words kFieldKeys = { "name", "byte", "type", "endian", "bit", "bits", "length", "encoding",
                           "unit", "scale", "offset", "min", "max", "enum", "init", "counter", "checksum", "covers", "mux", "mux_cycle", "mux_value" };

// The keys of a field of a type (made once: a file may hold 10^5 fields).
const Words& FieldKeysOf(SignalType type)
{
    static const Words common = { "name", "byte", "type" };
    static const Words text = JoinWords(common, { "length", "encoding", "init", "mux_value" });
    static const Words flag = JoinWords(common, { "bit", "bits", "endian", "enum", "init", "covers", "mux", "mux_cycle",
                                                  "mux_value" });
    static const Words real = JoinWords(common, { "endian", "unit", "scale", "offset", "min", "max", "init", "covers",
                                                  "mux_value" });
    static const Words whole = JoinWords(common, { "bit", "bits", "endian", "unit", "scale", "offset", "min", "max",
                                                   "enum", "init", "counter", "checksum", "covers", "mux", "mux_cycle",
                                                   "mux_value" });
    if (type == kSignalStr)
        return text;
    if (type == kSignalBool)
        return flag;
    return IsFloatType(type) ? real : whole;
}

} // namespace

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

namespace {

// Of two places in the file, the one further on.
const toml::source_region& Later(const toml::source_region& a, const toml::source_region& b)
{
    return std::tie(a.begin.line, a.begin.column) > std::tie(b.begin.line, b.begin.column) ? a : b;
}

// A checksum's bytes: "0-6", "3", "0-2, 4-6"; ranges going up, each byte once.
bool ParseByteRanges(const std::string& text, std::vector<ByteRange>* ranges, std::string* why)
{
    size_t at = 0;
    auto blanks = [&]() {
        while (at < text.size() && text[at] == ' ')
            ++at;
    };
    auto number = [&](unsigned* value) {
        const size_t start = at;
        unsigned long n = 0;
        while (at < text.size() && isdigit(static_cast<unsigned char>(text[at])) && n < kMaxPayloadBytes)
            n = n * 10 + static_cast<unsigned long>(text[at++] - '0');
        if (at == start || n >= kMaxPayloadBytes) {
            *why = at == start ? N_("expected byte numbers like \"0-6\" or \"0-2, 4\"")
                               : FormatText(N_("bytes are 0 to %d"), static_cast<int>(kMaxPayloadBytes) - 1);
            return false;
        }
        *value = static_cast<unsigned>(n);
        return true;
    };
    for (;;) {
        ByteRange range;
        blanks();
        if (!number(&range.first))
            return false;
        range.last = range.first;
        blanks();
        if (at < text.size() && text[at] == '-') {
            ++at;
            blanks();
            if (!number(&range.last))
                return false;
        }
        if (range.last < range.first) {
            *why = FormatText(N_("%u-%u goes down"), range.first, range.last);
            return false;
        }
        if (!ranges->empty() && range.first <= ranges->back().last) {
            *why = N_("the ranges must go up, each byte once");
            return false;
        }
        ranges->push_back(range);
        blanks();
        if (at == text.size())
            return true;
        if (text[at] != ',') {
            *why = N_("expected ',' between ranges");
            return false;
        }
        ++at;
    }
}

// Why a key of sending does not fit a field of a type; empty when another reason applies.
std::string SendKeyMisfit(const std::string& word, SignalType type, const std::string& typeText)
{
    const bool whole = !IsFloatType(type) && type != kSignalStr && type != kSignalBool;
    if (word == "counter" && !whole)
        return FormatText(N_("counter does not fit a %s field: a counter counts in an integer field"), typeText.c_str());
    if (word == "mux" && (type == kSignalStr || IsFloatType(type)))
        return FormatText(N_("mux does not fit a %s field: a selector is an integer or bool field"), typeText.c_str());
    if (word == "mux_cycle" && (type == kSignalStr || IsFloatType(type)))
        return FormatText(N_("mux_cycle does not fit a %s field: a selector is an integer or bool field"), typeText.c_str());
    if (word == "checksum" && !whole)
        return FormatText(N_("checksum does not fit a %s field: it goes in a u8, u16 or u32 field"), typeText.c_str());
    return std::string();
}

class Loader : private TomlErrors {
public:
    Loader(const std::string& fileName, std::vector<std::string>* errors)
        : fileName_(fileName), found_(fileName, kMaxSignalErrors, errors) {}

    void Load(const std::string& text, std::vector<SignalMessage>* messages);

private:
    void Error(const toml::source_region& where, const std::string& what) { found_.At(where, what); }
    void At(const toml::source_region& where, const std::string& what) override { Error(where, what); }

    bool LoadMessage(const toml::table& table, SignalMessage* message);
    bool LoadField(const toml::table& table, const SignalMessage& message, Signal* field,
                   toml::source_region* checksumWhere, toml::source_region* muxWhere);
    bool LoadMuxValues(const toml::node& node, Signal* field);
    bool CheckMux(SignalMessage* message, const std::vector<toml::source_region>& fieldWhere,
                  const std::vector<toml::source_region>& muxWhere);
    // init, counter and checksum: how a sender writes the signal.
    bool LoadInit(const toml::node& node, Signal* signal);
    bool LoadCounter(const toml::node& node, Signal* signal);
    bool LoadChecksum(const toml::node& node, Signal* field, toml::source_region* bytesWhere);
    bool CheckChecksumField(const toml::node& node, const Signal& field, const toml::node* initNode);
    bool CheckSending(SignalMessage* message, const std::vector<toml::source_region>& fieldWhere,
                      const std::vector<toml::source_region>& checksumWhere);
    // The keys unit scale offset min max enum, common to value messages and fields.
    bool LoadScaling(const std::string& key, const toml::node& node, Signal* signal, const toml::node** enumNode,
                     const toml::node** maxNode);
    bool CheckScaling(Signal* signal, const toml::node* enumNode, const toml::node* maxNode,
                      const toml::node* counterNode);
    bool LoadEnum(const toml::node& node, Signal* signal);
    void CheckOverlaps(const SignalMessage& message, const std::vector<toml::source_region>& where);
    // Reports a field overlapping one that owner took, once per field.
    void ReportOverlap(const SignalMessage& message, const std::vector<toml::source_region>& where,
                       std::vector<bool>* reported, size_t field, uint64_t byte, size_t owner);
    bool CheckNames(const SignalMessage& message, const toml::source_region& nameWhere,
                    const std::vector<toml::source_region>& fieldWhere);

    void KeyError(const toml::key& key, const Words& fits, const std::string& fitsWhat);

    std::string fileName_;
    // In the file's order when told: toml++ hands a table's keys over sorted.
    FileErrors found_;
    std::unordered_map<uint32_t, int> codeLines_;
    std::unordered_map<std::string, int> nameLines_;
};

void Loader::KeyError(const toml::key& key, const Words& fits, const std::string& fitsWhat)
{
    const std::string word(key.str());
    const Words known = JoinWords(JoinWords(JoinWords(JoinWords(kMessageKeys, kValueKeys), kStringKeys), kArrayKeys), kFieldKeys);
    if (ContainsWord(known, word)) {
        Error(key.source(), FormatText(N_("key '%s' does not fit %s, which takes %s"), word.c_str(), fitsWhat.c_str(),
                                       ListWords(fits).c_str()));
        return;
    }
    const std::string meant = ClosestWord(word, fits);
    Error(key.source(), meant.empty() ? FormatText(N_("unknown key '%s' (expected %s)"), word.c_str(), ListWords(fits).c_str())
                                      : FormatText(N_("unknown key '%s' (did you mean '%s'?)"), word.c_str(), meant.c_str()));
}

bool Loader::LoadEnum(const toml::node& node, Signal* signal)
{
    const toml::table* table = node.as_table();
    if (table == nullptr) {
        Error(node.source(), N_("enum must be a table of raw value = \"NAME\", like enum = { 0 = \"STOPPED\", 2 = \"RUNNING\" }"));
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
            Error(key.source(), FormatText(N_("enum key '%s' is not a raw value of this signal (%lld to %lld)"),
                                           rawText.c_str(), static_cast<long long>(lowest), static_cast<long long>(highest)));
            good = false;
            continue;
        }
        if (!ReadTomlString(this, value, N_("an enum name"), &name)) {
            good = false;
            continue;
        }
        if (const char* fault = EnumNameFault(*signal, raw, name)) {
            Error(value.source(), FormatText(fault, EscapeUtf8ForDisplay(name).c_str()));
            good = false;
            continue;
        }
        const size_t index = signal->enums.size();
        const auto sameRaw = byRaw.emplace(raw, index);
        const auto sameName = byName.emplace(name, index);
        if (!sameRaw.second) {
            Error(Later(keyWhere[sameRaw.first->second], key.source()),
                  FormatText(N_("enum value %lld given twice"), static_cast<long long>(raw)));
            good = false;
        }
        if (!sameName.second) {
            Error(Later(nameWhere[sameName.first->second], value.source()),
                  FormatText(N_("enum name '%s' given twice"), name.c_str()));
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
        return ReadTomlString(this, node, "unit", &signal->unit);
    if (key == "enum") {
        *enumNode = &node;
        return true;
    }
    double value;
    if (!ReadTomlNumber(this, node, key.c_str(), &value))
        return false;
    if (key == "scale") {
        if (value == 0) {
            Error(node.source(), N_("scale must not be 0"));
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

bool Loader::CheckScaling(Signal* signal, const toml::node* enumNode, const toml::node* maxNode,
                          const toml::node* counterNode)
{
    bool good = true;
    // A counter steps through every raw value and wraps: limits would flag its own sends.
    if (counterNode != nullptr && signal->counter && (signal->hasMin || signal->hasMax)) {
        Error(counterNode->source(), N_("a counter counts through all its raw values: it takes no min or max"));
        good = false;
    }
    if (maxNode != nullptr && signal->hasMin && signal->min > signal->max) {
        Error(maxNode->source(), FormatText(N_("max %.15g is below min %.15g"), signal->max, signal->min));
        good = false;
    }
    if (enumNode != nullptr)
        good = LoadEnum(*enumNode, signal) && good;
    return good;
}

bool Loader::LoadInit(const toml::node& node, Signal* signal)
{
    std::string why;
    if (signal->type == kSignalStr) {
        if (!ReadTomlString(this, node, "init", &signal->initText))
            return false;
        // A gbk text's bytes are known only where it is encoded (MessageState); UTF-8's now.
        if (signal->length != 0 && signal->encoding == kEncodingUtf8 && signal->initText.size() > signal->length) {
            Error(node.source(), FormatText(N_("init is %zu bytes, longer than the field's %u"), signal->initText.size(),
                                            signal->length));
            return false;
        }
        signal->hasInit = true;
        return true;
    }
    bool encoded = false;
    if (node.is_string()) {
        encoded = EncodeSignalText(*signal, node.as_string()->get(), &signal->init, &why);
    } else if (node.is_boolean() && signal->type == kSignalBool) {
        signal->init.integer = node.as_boolean()->get() ? 1 : 0;
        encoded = true;
    } else if (node.is_integer() || node.is_floating_point()) {
        double value;
        if (!ReadTomlNumber(this, node, "init", &value))
            return false;
        encoded = EncodePhysical(*signal, value, &signal->init, &why);
    } else {
        why = N_("init must be a number, or a name of the signal's enum");
    }
    if (!encoded) {
        Error(node.source(), why.compare(0, 5, "init ") == 0 ? why : "init: " + why);
        return false;
    }
    signal->hasInit = true;
    return true;
}

bool Loader::LoadCounter(const toml::node& node, Signal* signal)
{
    if (!node.is_boolean()) {
        Error(node.source(), N_("counter must be true or false"));
        return false;
    }
    signal->counter = node.as_boolean()->get();
    return true;
}

bool Loader::LoadChecksum(const toml::node& node, Signal* field, toml::source_region* bytesWhere)
{
    const toml::table* table = node.as_table();
    if (table == nullptr) {
        Error(node.source(), N_("checksum must be a table like checksum = { kind = \"crc8\", bytes = \"0-6\" }"));
        return false;
    }
    bool good = true;
    for (auto&& [key, value] : *table) {
        const std::string word(key.str());
        if (word != "kind" && word != "bytes") {
            KeyError(key, { "kind", "bytes" }, N_("a checksum"));
            good = false;
        }
    }
    const toml::node* kind = table->get("kind");
    const toml::node* bytes = table->get("bytes");
    if (kind == nullptr || bytes == nullptr) {
        Error(node.source(), N_("a checksum needs kind and bytes, like checksum = { kind = \"crc8\", bytes = \"0-6\" }"));
        return false;
    }
    std::string text, why;
    if (ReadTomlString(this, *kind, "kind", &text)) {
        field->checksum = FindChecksumKind(text);
        if (field->checksum == nullptr) {
            Error(kind->source(), FormatText(N_("unknown checksum kind '%s' (expected %s)"), text.c_str(),
                                             ChecksumKindNames().c_str()));
            good = false;
        }
    } else {
        good = false;
    }
    *bytesWhere = bytes->source();
    if (!ReadTomlString(this, *bytes, "bytes", &text)) {
        good = false;
    } else if (!ParseByteRanges(text, &field->checksumBytes, &why)) {
        Error(bytes->source(), "bytes \"" + text + "\": " + why);
        good = false;
    }
    return good;
}

// What the loop over a checksum field's keys cannot tell alone: its width and what else it is.
bool Loader::CheckChecksumField(const toml::node& node, const Signal& field, const toml::node* initNode)
{
    bool good = true;
    if (IsSignedType(field.type) || field.bits != static_cast<unsigned>(field.checksum->width)) {
        Error(node.source(), FormatText(N_("%s is %d bits: its field must be unsigned and %d bits wide, not %s in %u bits"),
                                        field.checksum->name, field.checksum->width, field.checksum->width,
                                        SignalTypeName(field.type), field.bits));
        good = false;
    }
    if (field.counter) {
        Error(node.source(), N_("a field is a counter or a checksum, not both"));
        good = false;
    }
    if (initNode != nullptr) {
        Error(initNode->source(), N_("init does not fit a checksum field: it is computed on every send"));
        good = false;
    }
    return good;
}

bool Loader::LoadField(const toml::table& table, const SignalMessage& message, Signal* field,
                       toml::source_region* checksumWhere, toml::source_region* muxWhere)
{
    bool good = true;
    const toml::node* type = table.get("type");
    const toml::node* name = table.get("name");
    const toml::node* byte = table.get("byte");
    if (type == nullptr || name == nullptr || byte == nullptr) {
        Error(table.source(), N_("a field needs name, byte and type"));
        good = false;
    }
    std::string typeText;
    bool typeKnown = false;
    if (type != nullptr && ReadTomlString(this, *type, "type", &typeText)) {
        typeKnown = SignalTypeOfName(typeText, &field->type);
        if (!typeKnown) {
            Error(type->source(), FormatText(N_("unknown type '%s' (expected u8, u16, u32, u64, i8, i16, i32, i64, f32, f64, bool or str)"),
                                             typeText.c_str()));
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
    const toml::node* counterNode = nullptr;
    const toml::node* initNode = nullptr;
    const toml::node* checksumNode = nullptr;
    const toml::node* cycleNode = nullptr;
    const Words& fits = typeKnown ? FieldKeysOf(field->type) : kFieldKeys;
    for (auto&& [key, value] : table) {
        const std::string word(key.str());
        if (!ContainsWord(fits, word)) {
            const std::string misfit = SendKeyMisfit(word, field->type, typeText);
            if (word == "enum" && IsFloatType(field->type))
                Error(key.source(), FormatText(N_("enum does not fit a float field (%s)"), typeText.c_str()));
            else if (!misfit.empty())
                Error(key.source(), misfit);
            else
                KeyError(key, fits, typeKnown ? FormatText(N_("a %s field"), typeText.c_str()) : N_("a field"));
            good = false;
            continue;
        }
        int64_t number;
        std::string text;
        if (word == "type") {
        } else if (word == "name") {
            if (ReadTomlString(this, value, "name", &field->fieldName) && !IsSignalName(field->fieldName)) {
                Error(value.source(), FormatText(N_("name '%s' must be A-Z a-z 0-9 _ in parts joined by dots"),
                                                 field->fieldName.c_str()));
                good = false;
            }
            field->name = message.name + "." + field->fieldName;
        } else if (word == "byte") {
            if (ReadTomlInteger(this, value, "byte", 0, kMaxPayloadBytes - 1, &number))
                field->byte = static_cast<unsigned>(number);
            else
                good = false;
        } else if (word == "bit") {
            if (ReadTomlInteger(this, value, "bit", 0, 7, &number))
                field->bit = static_cast<unsigned>(number);
            else
                good = false;
        } else if (word == "bits") {
            if (ReadTomlInteger(this, value, "bits", 1, SignalTypeBits(field->type) == 1 ? 8 : SignalTypeBits(field->type), &number))
                field->bits = static_cast<unsigned>(number);
            else
                good = false;
        } else if (word == "length") {
            if (ReadTomlInteger(this, value, "length", 1, kMaxPayloadBytes, &number))
                field->length = static_cast<unsigned>(number);
            else
                good = false;
        } else if (word == "endian") {
            if (!ReadTomlString(this, value, "endian", &text) || (text != "little" && text != "big")) {
                Error(value.source(), N_("endian must be \"little\" or \"big\""));
                good = false;
            }
            field->endian = text == "big" ? kEndianBig : kEndianLittle;
        } else if (word == "encoding") {
            if (!ReadTomlString(this, value, "encoding", &text) || (text != "gbk" && text != "utf-8")) {
                Error(value.source(), N_("encoding must be \"gbk\" or \"utf-8\""));
                good = false;
            }
            field->encoding = text == "utf-8" ? kEncodingUtf8 : kEncodingGbk;
        } else if (word == "init") {
            initNode = &value;
        } else if (word == "covers") {
            if (!value.is_boolean()) {
                Error(value.source(), FormatText(N_("%s must be true or false"), "covers"));
                good = false;
            }
            field->covers = value.is_boolean() && value.as_boolean()->get();
        } else if (word == "mux") {
            if (!value.is_boolean()) {
                Error(value.source(), FormatText(N_("%s must be true or false"), "mux"));
                good = false;
            }
            field->mux = value.is_boolean() && value.as_boolean()->get();
        } else if (word == "mux_cycle") {
            if (!value.is_boolean()) {
                Error(value.source(), FormatText(N_("%s must be true or false"), "mux_cycle"));
                good = false;
            }
            field->muxCycle = value.is_boolean() && value.as_boolean()->get();
            cycleNode = &value;
        } else if (word == "mux_value") {
            *muxWhere = value.source();
            good = LoadMuxValues(value, field) && good;
        } else if (word == "counter") {
            counterNode = &value;
            good = LoadCounter(value, field) && good;
        } else if (word == "checksum") {
            checksumNode = &value;
            good = LoadChecksum(value, field, checksumWhere) && good;
        } else {
            good = LoadScaling(word, value, field, &enumNode, &maxNode) && good;
        }
    }
    if (!typeKnown)
        return false;
    if (field->muxCycle && !field->mux) {
        Error(cycleNode->source(), N_("mux_cycle goes on the selector alone: a field with mux = true"));
        good = false;
    }
    good = CheckScaling(field, enumNode, maxNode, counterNode) && good;
    if (checksumNode != nullptr && field->checksum != nullptr)
        good = CheckChecksumField(*checksumNode, *field, initNode) && good;
    else if (initNode != nullptr && good)
        good = LoadInit(*initNode, field);
    const uint64_t end = static_cast<uint64_t>(field->byte) + (field->type == kSignalStr && field->length == 0 ? 1 : field->SpanBytes());
    if (byte != nullptr && end > kMaxPayloadBytes) {
        Error(byte->source(), FormatText(N_("the field ends at byte %llu, past the 64 KiB an array holds"),
                                         static_cast<unsigned long long>(end)));
        good = false;
    }
    if (field->type != kSignalStr && field->bit + field->bits > 64) {
        Error(table.source(), FormatText(N_("field '%s' would span 9 bytes: bit + bits is at most 64"),
                                         field->fieldName.c_str()));
        good = false;
    }
    if (field->type != kSignalStr && field->SpanBytes() > 1 && field->endian == kEndianNone) {
        Error(table.source(), FormatText(N_("field '%s' spans %u bytes: it needs endian = \"little\" or \"big\""),
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
        Error(table.source(), N_("a message needs code and name"));
        good = false;
    }
    std::string text, why;
    if (code != nullptr && !code->is_string()) {
        Error(code->source(), N_("write the code as hex text, like code = \"20001001\""));
    } else if (code != nullptr && ReadTomlString(this, *code, "code", &text)) {
        kindKnown = ParseCodeArgument(text, "code", &message->code, &why);
        if (!kindKnown)
            Error(code->source(), why);
    }
    good = good && kindKnown;
    message->kind = ClassifyCode(message->code);
    Words fits = kMessageKeys;
    if (kindKnown) {
        fits = JoinWords(kMessageKeys, message->kind == kValueMessage ? kValueKeys
                                  : message->kind == kStringPayload ? kStringKeys : kArrayKeys);
    } else {
        fits = JoinWords(JoinWords(JoinWords(kMessageKeys, kValueKeys), kStringKeys), kArrayKeys);
    }
    const char* kindCode = message->kind == kArrayPayload ? N_("an array code (%08x)")
                           : message->kind == kStringPayload ? N_("a string code (%08x)") : N_("a value code (%08x)");
    const std::string fitsWhat = kindKnown ? FormatText(kindCode, static_cast<unsigned>(message->code))
                                           : std::string(N_("a message"));
    Signal self;
    self.line = message->line;
    self.column = message->column;
    self.type = message->kind == kStringPayload ? kSignalStr : kSignalI32;
    const toml::node* enumNode = nullptr;
    const toml::node* maxNode = nullptr;
    const toml::node* counterNode = nullptr;
    const toml::node* initNode = nullptr;
    toml::source_region nameWhere = table.source();
    std::vector<toml::source_region> fieldWhere;
    for (auto&& [key, value] : table) {
        const std::string word(key.str());
        if (!ContainsWord(fits, word)) {
            KeyError(key, fits, fitsWhat);
            good = false;
            continue;
        }
        if (word == "code") {
        } else if (word == "name") {
            nameWhere = value.source();
            if (!ReadTomlString(this, value, "name", &message->name)) {
                good = false;
            } else if (!IsSignalName(message->name)) {
                Error(value.source(), FormatText(N_("name '%s' must be A-Z a-z 0-9 _ in parts joined by dots"),
                                                 message->name.c_str()));
                good = false;
            }
        } else if (word == "comment") {
            good = ReadTomlString(this, value, "comment", &message->comment) && good;
        } else if (word == "period") {
            if (!ReadTomlString(this, value, "period", &text) || !ParseDuration(text, &message->periodMicros, &why) ||
                message->periodMicros == 0) {
                Error(value.source(), FormatText(N_("bad period: %s"), value.is_string() && !why.empty()
                                                                           ? why.c_str()
                                                                           : N_("expected a duration like \"100ms\" above 0")));
                good = false;
            }
        } else if (word == "signed") {
            if (!value.is_boolean()) {
                Error(value.source(), N_("signed must be true or false"));
                good = false;
            } else if (!value.as_boolean()->get()) {
                self.type = kSignalU32;
            }
        } else if (word == "encoding") {
            if (!ReadTomlString(this, value, "encoding", &text) || (text != "gbk" && text != "utf-8")) {
                Error(value.source(), N_("encoding must be \"gbk\" or \"utf-8\""));
                good = false;
            }
            self.encoding = text == "utf-8" ? kEncodingUtf8 : kEncodingGbk;
        } else if (word == "init") {
            initNode = &value;
        } else if (word == "counter") {
            counterNode = &value;
            good = LoadCounter(value, &self) && good;
        } else if (word != "field") {
            good = LoadScaling(word, value, &self, &enumNode, &maxNode) && good;
        }
    }
    if (!kindKnown)
        return false;
    if (message->kind != kArrayPayload) {
        good = CheckScaling(&self, enumNode, maxNode, counterNode) && good;
        self.name = message->name;
        if (initNode != nullptr && good)
            good = LoadInit(*initNode, &self);
        message->counterIndex = self.counter ? 0 : -1;
        message->signals.push_back(std::move(self));
        return CheckNames(*message, nameWhere, fieldWhere) && good;
    }
    const toml::node* fields = table.get("field");
    if (fields == nullptr)
        return CheckNames(*message, nameWhere, fieldWhere) && good;
    const toml::array* list = fields->as_array();
    if (list == nullptr || !list->is_array_of_tables()) {
        Error(fields->source(), N_("field must be [[message.field]] tables"));
        return false;
    }
    if (list->size() > kMaxSignalFields) {
        Error(fields->source(), FormatText(N_("more than %d fields in one message"), kMaxSignalFields));
        return false;
    }
    message->signals.reserve(list->size());
    std::vector<toml::source_region> checksumWhere, muxWhere;
    for (const toml::node& node : *list) {
        Signal field;
        toml::source_region bytesWhere, valuesWhere;
        if (LoadField(*node.as_table(), *message, &field, &bytesWhere, &valuesWhere)) {
            message->signals.push_back(std::move(field));
            fieldWhere.push_back(node.source());
            checksumWhere.push_back(bytesWhere);
            muxWhere.push_back(valuesWhere);
        } else {
            good = false;
        }
    }
    // A selector that failed to load would make its fields look orphaned.
    good = good && CheckMux(message, fieldWhere, muxWhere);
    CheckOverlaps(*message, fieldWhere);
    good = CheckSending(message, fieldWhere, checksumWhere) && good;
    return CheckNames(*message, nameWhere, fieldWhere) && good;
}

bool Loader::CheckNames(const SignalMessage& message, const toml::source_region& nameWhere,
                        const std::vector<toml::source_region>& fieldWhere)
{
    bool good = true;
    auto code = codeLines_.emplace(message.code, message.line);
    if (!code.second) {
        Error(nameWhere, FormatText(N_("code %08x is given twice (first at line %d)"), static_cast<unsigned>(message.code),
                                    code.first->second));
        good = false;
    }
    if (message.name.empty())
        return false;
    auto name = nameLines_.emplace(message.name, message.line);
    if (!name.second) {
        Error(nameWhere, FormatText(N_("name '%s' is given twice (first at line %d)"), message.name.c_str(), name.first->second));
        good = false;
    }
    if (message.kind != kArrayPayload)
        return good;
    for (size_t i = 0; i < message.signals.size() && i < fieldWhere.size(); ++i) {
        const Signal& field = message.signals[i];
        auto full = nameLines_.emplace(field.name, field.line);
        if (!full.second) {
            Error(fieldWhere[i], FormatText(N_("name '%s' is given twice (first at line %d)"), field.name.c_str(),
                                            full.first->second));
            good = false;
        }
    }
    return good;
}

bool Loader::LoadMuxValues(const toml::node& node, Signal* field)
{
    std::vector<const toml::node*> items;
    if (const toml::array* list = node.as_array()) {
        for (const toml::node& item : *list)
            items.push_back(&item);
        if (items.empty() || items.size() > kMaxMuxValues) {
            Error(node.source(), FormatText(N_("mux_value must be a whole number or a list of 1 to %d of them"),
                                            static_cast<int>(kMaxMuxValues)));
            return false;
        }
    } else {
        items.push_back(&node);
    }
    bool good = true;
    for (const toml::node* item : items) {
        int64_t value;
        if (!item->is_integer()) {
            Error(item->source(), FormatText(N_("mux_value must be a whole number or a list of 1 to %d of them"),
                                             static_cast<int>(kMaxMuxValues)));
            good = false;
            continue;
        }
        if (!ReadTomlInteger(this, *item, "mux_value", INT64_MIN, INT64_MAX, &value)) {
            good = false;
            continue;
        }
        if (std::find(field->muxValues.begin(), field->muxValues.end(), value) != field->muxValues.end()) {
            Error(item->source(), FormatText(N_("mux_value %lld is given twice"), static_cast<long long>(value)));
            good = false;
            continue;
        }
        field->muxValues.push_back(value);
    }
    std::sort(field->muxValues.begin(), field->muxValues.end());
    return good;
}

// One selector at most; a multiplexed field needs it, and each of its
// selector values must be one the selector can hold. The selector itself,
// a counter and a checksum are in every payload.
bool Loader::CheckMux(SignalMessage* message, const std::vector<toml::source_region>& fieldWhere,
                      const std::vector<toml::source_region>& muxWhere)
{
    bool good = true;
    for (size_t i = 0; i < message->signals.size(); ++i) {
        const Signal& field = message->signals[i];
        if (!field.mux)
            continue;
        if (message->muxIndex >= 0) {
            const Signal& first = message->signals[static_cast<size_t>(message->muxIndex)];
            Error(fieldWhere[i], FormatText(N_("a message has one selector: field '%s' (line %d) is one already"),
                                            first.fieldName.c_str(), first.line));
            good = false;
            continue;
        }
        message->muxIndex = static_cast<int>(i);
    }
    for (size_t i = 0; i < message->signals.size(); ++i) {
        const Signal& field = message->signals[i];
        if (field.muxValues.empty())
            continue;
        if (field.mux || field.counter || field.checksum != nullptr) {
            Error(muxWhere[i], N_("a selector, counter or checksum is in every payload: it takes no mux_value"));
            good = false;
            continue;
        }
        if (message->muxIndex < 0) {
            Error(muxWhere[i], N_("mux_value needs a selector in the message: a field with mux = true"));
            good = false;
            continue;
        }
        const Signal& selector = message->signals[static_cast<size_t>(message->muxIndex)];
        int64_t lowest, highest;
        selector.RawLimits(&lowest, &highest);
        for (int64_t value : field.muxValues) {
            if (value < lowest || value > highest) {
                Error(muxWhere[i], FormatText(N_("mux_value %lld is outside what selector '%s' holds: %lld to %lld"),
                                              static_cast<long long>(value), selector.fieldName.c_str(),
                                              static_cast<long long>(lowest), static_cast<long long>(highest)));
                good = false;
                break;
            }
        }
    }
    if (good && message->muxIndex >= 0 && message->signals[static_cast<size_t>(message->muxIndex)].muxCycle) {
        // Each value a field names is a page of its own, kept while the message is simulated.
        const size_t selector = static_cast<size_t>(message->muxIndex);
        const size_t pages = message->MuxCycleValues().size();
        if (pages == 0) {
            Error(fieldWhere[selector], N_("mux_cycle needs a field with mux_value: no selector value to go through"));
            good = false;
        } else if (pages > kMaxMuxValues) {
            Error(fieldWhere[selector], FormatText(N_("mux_cycle goes through at most %d selector values, the fields name %zu"),
                                                   static_cast<int>(kMaxMuxValues), pages));
            good = false;
        }
    }
    return good;
}

// One counter and one checksum at most; the checksum's bytes inside the
// message and beside it, never over it.
bool Loader::CheckSending(SignalMessage* message, const std::vector<toml::source_region>& fieldWhere,
                          const std::vector<toml::source_region>& checksumWhere)
{
    bool good = true;
    uint64_t end = 0;   // the bytes every payload of the message has: a str without length counts none
    for (const Signal& field : message->signals)
        end = std::max<uint64_t>(end, field.byte + field.SpanBytes());
    for (size_t i = 0; i < message->signals.size(); ++i) {
        const Signal& field = message->signals[i];
        int* index = field.counter ? &message->counterIndex : field.checksum != nullptr ? &message->checksumIndex : nullptr;
        if (index == nullptr)
            continue;
        if (*index >= 0) {
            const Signal& first = message->signals[static_cast<size_t>(*index)];
            Error(fieldWhere[i], FormatText(field.counter ? N_("a message has one counter: field '%s' (line %d) is one already")
                                                          : N_("a message has one checksum: field '%s' (line %d) is one already"),
                                            first.fieldName.c_str(), first.line));
            good = false;
            continue;
        }
        *index = static_cast<int>(i);
        if (field.checksum == nullptr)
            continue;
        for (const ByteRange& range : field.checksumBytes) {
            if (range.last >= end) {
                Error(checksumWhere[i], FormatText(N_("byte %u is outside the message, whose fields end at byte %llu"),
                                                   range.last, static_cast<unsigned long long>(end) - 1));
                good = false;
                break;
            }
            if (range.first < field.byte + field.SpanBytes() && range.last >= field.byte) {
                Error(checksumWhere[i], FormatText(N_("bytes %u-%u cover the checksum itself (byte %u)"), range.first,
                                                   range.last, std::max(range.first, field.byte)));
                good = false;
                break;
            }
        }
    }
    return good;
}

// The bits fields have taken in a message's bytes. A field's bytes are a
// run of whole bytes and at most two partial ones at its ends, so a map of
// whole runs and one of partial bytes answer in log time, whatever the
// fields' lengths.
class TakenBits {
public:
    // The first byte where a field taken before holds a bit of this one,
    // and that field; false when none does.
    bool Clash(const Signal& field, uint64_t* byte, size_t* owner) const
    {
        const Span span = SpanOf(field);
        uint64_t clash = UINT64_MAX;
        auto note = [&](uint64_t at, size_t by) {
            if (at < clash) {
                clash = at;
                *owner = by;
            }
        };
        auto wholeAt = [&](uint64_t from, uint64_t to) {   // runs meeting [from, to)
            auto next = runs_.upper_bound(from);
            if (next != runs_.begin() && std::prev(next)->second.end > from)
                note(from, std::prev(next)->second.field);
            else if (next != runs_.end() && next->first < to)
                note(next->first, next->second.field);
        };
        auto partialAt = [&](uint64_t at, unsigned mask) {
            auto found = partials_.find(at);
            const unsigned shared = found == partials_.end() ? 0 : found->second.taken & mask;
            for (unsigned bit = 0; bit < 8; ++bit) {
                if (shared >> bit & 1) {
                    note(at, found->second.owner[bit]);
                    break;
                }
            }
        };
        if (span.wholeBegin < span.wholeEnd) {
            wholeAt(span.wholeBegin, span.wholeEnd);
            auto part = partials_.lower_bound(span.wholeBegin);
            if (part != partials_.end() && part->first < span.wholeEnd)
                partialAt(part->first, 0xff);
        }
        for (uint64_t at : span.partial) {
            if (at == UINT64_MAX)
                continue;
            wholeAt(at, at + 1);
            partialAt(at, field.BitsInByte(static_cast<unsigned>(at)));
        }
        *byte = clash;
        return clash != UINT64_MAX;
    }

    void Take(const Signal& field, size_t index)
    {
        const Span span = SpanOf(field);
        if (span.wholeBegin < span.wholeEnd)
            runs_.emplace(span.wholeBegin, Run{ span.wholeEnd, index });
        for (uint64_t at : span.partial) {
            if (at == UINT64_MAX)
                continue;
            Partial& part = partials_.emplace(at, Partial{ 0, {} }).first->second;
            const unsigned mask = field.BitsInByte(static_cast<unsigned>(at));
            for (unsigned bit = 0; bit < 8; ++bit)
                if (mask >> bit & 1)
                    part.owner[bit] = index;
            part.taken |= mask;
        }
    }

private:
    struct Run { uint64_t end; size_t field; };
    struct Partial { unsigned taken; size_t owner[8]; };
    struct Span { uint64_t wholeBegin, wholeEnd; uint64_t partial[2]; };   // partial: UINT64_MAX for none

    static Span SpanOf(const Signal& field)
    {
        const uint64_t begin = field.byte;
        const uint64_t arrayEnd = kMaxPayloadBytes;
        const uint64_t end = std::min(arrayEnd, field.type == kSignalStr && field.length == 0 ? arrayEnd
                                                                                           : begin + field.SpanBytes());
        Span span = { 0, 0, { UINT64_MAX, UINT64_MAX } };
        if (begin >= end)
            return span;
        const unsigned firstMask = field.BitsInByte(static_cast<unsigned>(begin));
        const unsigned lastMask = field.BitsInByte(static_cast<unsigned>(end - 1));
        span.wholeBegin = begin + (firstMask != 0xff ? 1 : 0);
        span.wholeEnd = std::max(span.wholeBegin, end - (end - 1 > begin && lastMask != 0xff ? 1 : 0));
        span.partial[0] = span.wholeBegin > begin ? begin : UINT64_MAX;
        span.partial[1] = span.wholeEnd < end && end - 1 > begin ? end - 1 : UINT64_MAX;
        return span;
    }

    std::map<uint64_t, Run> runs_;           // whole bytes taken, by first byte; never overlapping
    std::map<uint64_t, Partial> partials_;   // bytes taken in part
};

void Loader::ReportOverlap(const SignalMessage& message, const std::vector<toml::source_region>& where,
                           std::vector<bool>* reported, size_t field, uint64_t byte, size_t owner)
{
    if (!(*reported)[field])
        Error(where[field], FormatText(N_("field '%s' overlaps field '%s' in byte %llu"),
                                       message.signals[field].fieldName.c_str(),
                                       message.signals[owner].fieldName.c_str(), static_cast<unsigned long long>(byte)));
    (*reported)[field] = true;
}

// Two fields overlap when their bytes meet and, in a byte they share, their
// bits. In the file's order each field is checked against the bits the
// fields before it took. A field that overlaps is reported once, with the
// first byte where it does, and takes no bits: every overlap still gives an
// error, since of two fields that overlap either the first took its bits or
// it was reported itself. Multiplexed fields may overlap each other where
// no selector value holds both: each is checked against the fields in every
// payload, then against the other fields of each of its selector values.
void Loader::CheckOverlaps(const SignalMessage& message, const std::vector<toml::source_region>& where)
{
    if (message.signals.size() < 2)
        return;
    std::vector<bool> reported(message.signals.size(), false);
    TakenBits everywhere;
    std::map<int64_t, std::vector<size_t>> bySelector;
    uint64_t byte;
    size_t owner;
    for (size_t i = 0; i < message.signals.size(); ++i) {
        const Signal& field = message.signals[i];
        if (field.covers)
            continue;   // it says it overlaps others: neither checked nor taking bits
        if (!field.muxValues.empty()) {
            for (int64_t value : field.muxValues)
                bySelector[value].push_back(i);
        } else if (everywhere.Clash(field, &byte, &owner)) {
            ReportOverlap(message, where, &reported, i, byte, owner);
        } else {
            everywhere.Take(field, i);
        }
    }
    for (const auto& [value, fields] : bySelector) {
        TakenBits payload;
        for (size_t i : fields) {
            const Signal& field = message.signals[i];
            if (everywhere.Clash(field, &byte, &owner) || payload.Clash(field, &byte, &owner))
                ReportOverlap(message, where, &reported, i, byte, owner);
            else
                payload.Take(field, i);
        }
    }
}

void Loader::Load(const std::string& text, std::vector<SignalMessage>* messages)
{
    toml::table root;
    TomlProblem problem;
    if (!ParseTomlText(text, fileName_, &root, &problem)) {
        found_.Toml(problem);
        found_.Finish();
        return;
    }
    const toml::array* list = nullptr;
    for (auto&& [key, value] : root) {
        if (key.str() != "message") {
            KeyError(key, { "message" }, N_("the file"));
        } else if (value.as_array() == nullptr || !value.as_array()->is_array_of_tables()) {
            Error(value.source(), N_("message must be [[message]] tables"));
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
            if (found_.FullBefore(static_cast<unsigned>(table.source().begin.line)))
                break;
            SignalMessage message;
            if (LoadMessage(table, &message))
                messages->push_back(std::move(message));
        }
    }
    found_.Finish();
}

} // namespace

bool LoadSignalFile(const std::string& text, const std::string& fileName, SignalDatabase* database,
                    std::vector<std::string>* errors)
{
    return RunFileLoader(fileName, errors, [&] {
        std::vector<SignalMessage> messages;
        Loader(fileName, errors).Load(text, &messages);
        if (errors->empty())
            database->Assign(std::move(messages));
    });
}
