#include "signals/DbcImport.h"

#include <math.h>
#include <stdlib.h>

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "common/Catalogue.h"
#include "common/Escapes.h"
#include "common/FormatText.h"
#include "protocol/MessageCode.h"
#include "signals/EnumNames.h"
#include "signals/SignalCodec.h"
#include "signals/SignalFile.h"
#include "signals/TomlValues.h"

namespace {

const uint32_t kFamilyShift = 16, kFamilyMask = 0x7f;   // bits 16-22

// A text's lines (\r\n, \n or \r apart), tabs as blanks.
std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines(1);
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            lines.emplace_back();
        } else {
            lines.back() += c == '\t' ? ' ' : c;
        }
    }
    while (lines.size() > 1 && lines.back().empty())
        lines.pop_back();
    return lines;
}

// Whether group's bits hold every bit of part's, and more: a DBC group
// signal over its parts.
bool Holds(const Signal& group, const Signal& part)
{
    const unsigned groupEnd = group.byte + group.SpanBytes();
    for (unsigned byte = part.byte; byte < part.byte + part.SpanBytes(); ++byte) {
        const unsigned outer = byte >= group.byte && byte < groupEnd ? group.BitsInByte(byte) : 0;
        if ((part.BitsInByte(byte) & ~outer) != 0)
            return false;
    }
    return group.bits > part.bits;
}

class Importer {
public:
    Importer(const std::string& dbcName, DbcImport* out) : dbcName_(dbcName), out_(out) {}

    void Message(const DbcMessage& message, uint32_t code);
    void Report(int line, const std::string& what)
    {
        reports_.push_back({ line, reports_.size(), FormatText("%s:%d: ", dbcName_.c_str(), line) + what });
    }
    void Finish();

private:
    // The field of a signal, or false (with the reason reported) when the file cannot hold it.
    bool Field(const DbcMessage& message, const DbcSignal& dbc, Signal* field);
    // The enum's entries ("0 = \"OFF\", 1 = \"ON\""), the others reported.
    std::string Enum(const DbcSignal& dbc, const Signal& field);
    void Init(const DbcSignal& dbc, const Signal& field);

    struct Line {
        int line;
        size_t order;
        std::string text;
    };
    std::string dbcName_;
    DbcImport* out_;
    std::vector<Line> reports_;
    const DbcSignal* selector_ = nullptr;   // the message's multiplexor (M), its first
};

// Whether some payload holds both fields: not two multiplexed fields of
// different selector values.
bool Together(const Signal& a, const Signal& b)
{
    return a.muxValues.empty() || b.muxValues.empty() || a.muxValues == b.muxValues;
}

void Importer::Finish()
{
    std::stable_sort(reports_.begin(), reports_.end(), [](const Line& a, const Line& b) { return a.line < b.line; });
    for (Line& line : reports_)
        out_->report.push_back(std::move(line.text));
}

bool Importer::Field(const DbcMessage& message, const DbcSignal& dbc, Signal* field)
{
    const char* why = nullptr;
    if (dbc.multiplexed && dbc.multiplexor)
        why = N_("multiplexed signal %s (m%lluM) left out: a message has one selector here");
    else if (dbc.multiplexed && selector_ == nullptr)
        why = N_("multiplexed signal %s (m%llu) left out: its message has no multiplexor (M)");
    else if (dbc.floatBits == 0 && dbc.length > 64)
        why = N_("signal %s of %llu bits left out: a field holds 64 bits at most");
    if (why != nullptr) {
        Report(dbc.line, FormatText(why, dbc.name.c_str(), static_cast<unsigned long long>(dbc.multiplexed ? dbc.muxValue : dbc.length)));
        return false;
    }
    // The values the selector holds from 0 up: below 2^(length - 1) for a signed one, and within int64_t.
    const unsigned usable = dbc.multiplexed ? std::min(63u, selector_->isSigned ? selector_->length - 1 : selector_->length) : 0;
    if (dbc.multiplexed && dbc.muxValue >> usable != 0) {
        Report(dbc.line, FormatText(N_("multiplexed signal %s (m%llu) left out: its multiplexor %s holds no such value"),
                                    dbc.name.c_str(), static_cast<unsigned long long>(dbc.muxValue), selector_->name.c_str()));
        return false;
    }
    if (dbc.multiplexor && !dbc.multiplexed && selector_ != nullptr && &dbc != selector_)
        Report(dbc.line, FormatText(N_("multiplexor %s kept as a plain field: %s is its message's selector"), dbc.name.c_str(),
                                    selector_->name.c_str()));
    field->mux = &dbc == selector_;
    if (dbc.multiplexed)
        field->muxValues.push_back(static_cast<int64_t>(dbc.muxValue));
    if (!isfinite(dbc.factor) || !isfinite(dbc.offset)) {
        Report(dbc.line, FormatText(N_("signal %s left out: its factor or offset is beyond what a number holds"), dbc.name.c_str()));
        return false;
    }
    if (!IsSignalName(dbc.name)) {
        Report(dbc.line, FormatText(N_("signal name %s left out: not a name a signal file takes"), QuoteInput(dbc.name).c_str()));
        return false;
    }
    field->fieldName = dbc.name;
    field->name = message.name + "." + dbc.name;
    field->line = dbc.line;
    if (dbc.motorola) {
        MotorolaPlace(dbc.startBit, dbc.length, &field->byte, &field->bit);
        field->endian = kEndianBig;
    } else {
        field->byte = dbc.startBit / 8;
        field->bit = dbc.startBit % 8;
        field->endian = kEndianLittle;
    }
    field->bits = dbc.length;
    if (dbc.floatBits != 0) {
        field->type = dbc.floatBits == 32 ? kSignalF32 : kSignalF64;
        if (field->bit != 0) {
            Report(dbc.line, FormatText(N_("float signal %s left out: it does not begin on a whole byte"), dbc.name.c_str()));
            return false;
        }
        // A float is as wide as its type, whatever length its SG_ gave.
        if (dbc.length != dbc.floatBits) {
            Report(dbc.line, FormatText(N_("float signal %s left out: its length is not that of its type (%u bits)"),
                                        dbc.name.c_str(), static_cast<unsigned>(dbc.floatBits)));
            return false;
        }
    } else {
        const SignalType types[2][4] = { { kSignalU8, kSignalU16, kSignalU32, kSignalU64 },
                                         { kSignalI8, kSignalI16, kSignalI32, kSignalI64 } };
        field->type = types[dbc.isSigned][dbc.length <= 8 ? 0 : dbc.length <= 16 ? 1 : dbc.length <= 32 ? 2 : 3];
        if (field->bit + field->bits > 64) {
            Report(dbc.line, FormatText(N_("signal %s left out: it would span 9 bytes, past the 8 a field may"), dbc.name.c_str()));
            return false;
        }
    }
    if (field->SpanBytes() < 2)
        field->endian = kEndianNone;
    field->scale = dbc.factor;
    field->offset = dbc.offset;
    if (dbc.factor == 0) {
        Report(dbc.line, FormatText(N_("signal %s has factor 0: taken as 1"), dbc.name.c_str()));
        field->scale = 1;
    }
    // [0|0] says no limits.
    if (dbc.min != 0 || dbc.max != 0) {
        if (dbc.min > dbc.max) {
            Report(dbc.line, FormatText(N_("signal %s: its max is below its min, so neither is kept"), dbc.name.c_str()));
        } else {
            // A limit beyond what a number holds is none.
            field->hasMin = isfinite(dbc.min);
            field->hasMax = isfinite(dbc.max);
            field->min = field->hasMin ? dbc.min : 0;
            field->max = field->hasMax ? dbc.max : 0;
            if (!field->hasMin || !field->hasMax)
                Report(dbc.line, FormatText(N_("signal %s: a limit beyond what a number holds is left out"), dbc.name.c_str()));
        }
    }
    if (HasControlCharacter(dbc.unit))
        Report(dbc.line, FormatText(N_("signal %s: its unit holds control characters and is left out"), dbc.name.c_str()));
    else
        field->unit = dbc.unit;
    return true;
}

std::string Importer::Enum(const DbcSignal& dbc, const Signal& field)
{
    std::string entries;
    if (dbc.values.empty())
        return entries;
    if (IsFloatType(field.type)) {
        Report(dbc.valuesLine, FormatText(N_("the value descriptions of float signal %s left out"), dbc.name.c_str()));
        return entries;
    }
    int64_t lowest, highest;
    field.RawLimits(&lowest, &highest);
    std::unordered_map<int64_t, std::string> raws;
    std::unordered_set<std::string> names;
    for (const DbcValueName& value : dbc.values) {
        // Blanks at either end are invisible in every view: they go.
        const size_t first = value.text.find_first_not_of(' ');
        const std::string text = first == std::string::npos
                                     ? std::string()
                                     : value.text.substr(first, value.text.find_last_not_of(' ') + 1 - first);
        std::string why;
        if (value.raw < lowest || value.raw > highest) {
            why = N_("not a raw value of the signal");
        } else if (const char* fault = EnumNameFault(field, value.raw, text)) {
            why = FormatText(fault, EscapeUtf8ForDisplay(text).c_str());
        } else {
            const auto described = raws.emplace(value.raw, text);
            if (!described.second && described.first->second == text)
                continue;   // the same description again: nothing is lost
            if (!described.second)
                why = N_("the value is described twice");
            else if (!names.insert(text).second)
                why = N_("the name is given twice, so a send of it would be ambiguous");
        }
        if (!why.empty()) {
            Report(dbc.valuesLine, FormatText(N_("signal %s: value %lld \"%s\" left out: %s"), dbc.name.c_str(),
                                              static_cast<long long>(value.raw),
                                              EscapeUtf8ForDisplay(value.text).c_str(), why.c_str()));
            continue;
        }
        entries += (entries.empty() ? "" : ", ") + FormatText("%lld = ", static_cast<long long>(value.raw)) +
                   TomlBasicString(text);
    }
    return entries;
}

void Importer::Message(const DbcMessage& message, uint32_t code)
{
    std::string& toml = out_->toml;
    const bool extended = (message.id & kDbcExtendedFlag) != 0;
    toml += FormatText("\n# CAN identifier 0x%x (%s), %u bytes\n", message.id & ~kDbcExtendedFlag,
                       extended ? "extended" : "standard", message.dlc);
    toml += FormatText("[[message]]\ncode = \"%08x\"\nname = %s\n", code, TomlBasicString(message.name).c_str());
    if (!message.comment.empty()) {
        std::vector<std::string> lines = Lines(message.comment);
        std::string joined;
        for (const std::string& line : lines)
            joined += (joined.empty() || line.empty() ? "" : " ") + line;
        if (HasControlCharacter(joined)) {
            Report(message.commentLine, FormatText(N_("the comment of %s holds control characters and is left out"), message.name.c_str()));
        } else {
            if (lines.size() > 1)
                Report(message.commentLine, FormatText(N_("the comment of %s, %llu lines, is joined into one line"),
                                                       message.name.c_str(), static_cast<unsigned long long>(lines.size())));
            toml += "comment = " + TomlBasicString(joined) + "\n";
        }
    }
    if (message.hasCycle) {
        const double micros = message.cycleMs * 1000;
        if (micros >= 1 && micros == floor(micros) && micros <= 8.64e12)
            toml += micros == floor(micros / 1000) * 1000 ? FormatText("period = \"%.0fms\"\n", message.cycleMs)
                                                          : FormatText("period = \"%.0fus\"\n", micros);
        else if (message.cycleMs != 0)
            Report(message.cycleLine, FormatText(N_("the cycle time %s ms of %s left out: not a whole number of microseconds above 0"),
                                                 ExactNumber(message.cycleMs).c_str(), message.name.c_str()));
    }
    ++out_->messages;

    selector_ = nullptr;
    for (const DbcSignal& dbc : message.signals) {
        if (dbc.multiplexor && !dbc.multiplexed && selector_ == nullptr && dbc.floatBits == 0 && dbc.length <= 64)
            selector_ = &dbc;
    }
    // The selector first, so that its fields find it taken.
    std::vector<std::pair<const DbcSignal*, Signal>> fields;
    const DbcSignal* first = selector_;
    if (first != nullptr) {
        Signal field;
        if (Field(message, *first, &field))
            fields.emplace_back(first, field);
        else
            selector_ = nullptr;
    }
    for (const DbcSignal& dbc : message.signals) {
        if (&dbc == first)
            continue;
        Signal field;
        if (Field(message, dbc, &field))
            fields.emplace_back(&dbc, field);
    }
    for (auto& [dbc, field] : fields)
        for (const auto& other : fields)
            field.covers = field.covers || (&other.second != &field && Together(field, other.second) && Holds(field, other.second));
    SignalMessage taken;   // the fields so far, for the overlap check
    taken.kind = kArrayPayload;
    for (const auto& [dbcAt, field] : fields) {
        const DbcSignal& dbc = *dbcAt;
        if (taken.signals.size() == kMaxSignalFields) {
            Report(dbc.line, FormatText(N_("signal %s left out: a message holds %d fields at most"), dbc.name.c_str(),
                                        static_cast<int>(kMaxSignalFields)));
            continue;
        }
        const Signal* overlap = nullptr;
        for (const Signal& before : taken.signals) {
            if (field.covers || before.covers || !Together(field, before))
                continue;
            const unsigned first = std::max(before.byte, field.byte);
            const unsigned last = std::min(before.byte + before.SpanBytes(), field.byte + field.SpanBytes());
            for (unsigned byte = first; byte < last && overlap == nullptr; ++byte)
                if ((before.BitsInByte(byte) & field.BitsInByte(byte)) != 0)
                    overlap = &before;
            if (overlap != nullptr)
                break;
        }
        if (overlap != nullptr) {
            Report(dbc.line, FormatText(N_("signal %s left out: it overlaps signal %s"), dbc.name.c_str(),
                                        overlap->fieldName.c_str()));
            continue;
        }
        if (taken.FindField(field.fieldName) != nullptr) {
            Report(dbc.line, FormatText(N_("signal %s is given twice in %s: the second left out"), dbc.name.c_str(),
                                        message.name.c_str()));
            continue;
        }
        for (const std::string& line : Lines(dbc.comment)) {
            if (dbc.comment.empty())
                break;
            if (HasControlCharacter(line)) {
                Report(dbc.line, FormatText(N_("a line of the comment of %s holds control characters and is left out"),
                                            dbc.name.c_str()));
                continue;
            }
            toml += "\n# " + line;
        }
        toml += FormatText("\n[[message.field]]\nname = %s\nbyte = %u\n", TomlBasicString(field.fieldName).c_str(), field.byte);
        if (!IsFloatType(field.type)) {
            if (field.bit != 0)
                toml += FormatText("bit = %u\n", field.bit);
            if (field.bits != SignalTypeBits(field.type))
                toml += FormatText("bits = %u\n", field.bits);
        }
        toml += FormatText("type = \"%s\"\n", SignalTypeName(field.type));
        if (field.covers)
            toml += "covers = true\n";
        if (field.mux)
            toml += "mux = true\n";
        if (!field.muxValues.empty())
            toml += FormatText("mux_value = %lld\n", static_cast<long long>(field.muxValues.front()));
        if (field.endian != kEndianNone)
            toml += field.endian == kEndianBig ? "endian = \"big\"\n" : "endian = \"little\"\n";
        if (!field.unit.empty())
            toml += "unit = " + TomlBasicString(field.unit) + "\n";
        if (field.scale != 1)
            toml += "scale = " + ExactNumber(field.scale) + "\n";
        if (field.offset != 0)
            toml += "offset = " + ExactNumber(field.offset) + "\n";
        if (field.hasMin)
            toml += "min = " + ExactNumber(field.min) + "\n";
        if (field.hasMax)
            toml += "max = " + ExactNumber(field.max) + "\n";
        const std::string entries = Enum(dbc, field);
        if (!entries.empty())
            toml += "enum = { " + entries + " }\n";
        Init(dbc, field);
        taken.signals.push_back(field);
        ++out_->signals;
    }
}

void Importer::Init(const DbcSignal& dbc, const Signal& field)
{
    if (!dbc.hasStartValue)
        return;
    const double physical = dbc.startValue * field.scale + field.offset;
    SignalRaw raw;
    std::string why = N_("beyond what a number holds");
    if (!isfinite(physical) || !EncodePhysical(field, physical, &raw, &why)) {
        Report(dbc.startValueLine != 0 ? dbc.startValueLine : dbc.line,
               FormatText(N_("the start value of %s left out: %s"), dbc.name.c_str(), why.c_str()));
        return;
    }
    out_->toml += "init = " + ExactNumber(physical) + "\n";
}

} // namespace

std::string DbcCodeBaseProblem(uint32_t base, size_t count)
{
    if (ClassifyCode(base) != kArrayPayload || (base & 0xff) != 0)
        return FormatText(N_("%08x is not an array code on channel 0 (like 30000400)"), base);
    const size_t families = count == 0 ? 0 : (count - 1) / 256;
    if ((base >> kFamilyShift & kFamilyMask) + families > kFamilyMask)
        return FormatText(N_("%llu messages from %08x would go past bit 22 of the code"), static_cast<unsigned long long>(count), base);
    return std::string();
}

uint32_t DbcMessageCode(uint32_t base, size_t index)
{
    return base + (static_cast<uint32_t>(index / 256) << kFamilyShift) + static_cast<uint32_t>(index % 256);
}

bool DbcIndexOfCode(uint32_t base, uint32_t code, size_t* index)
{
    const uint32_t rule = kFamilyMask << kFamilyShift | 0xff;
    const uint32_t family = code >> kFamilyShift & kFamilyMask, baseFamily = base >> kFamilyShift & kFamilyMask;
    if ((code & ~rule) != (base & ~rule) || family < baseFamily)
        return false;
    *index = static_cast<size_t>(family - baseFamily) * 256 + (code & 0xff);
    return true;
}

bool ImportDbc(const DbcFile& dbc, const std::string& dbcName, uint32_t codeBase, DbcImport* out, std::string* error,
               const DbcCodeMap* map)
{
    Importer importer(dbcName, out);
    for (const DbcNote& note : dbc.notes)
        importer.Report(note.line, note.what);
    std::vector<const DbcMessage*> messages;
    std::unordered_set<std::string> names;
    for (const DbcMessage& message : dbc.messages) {
        if (message.name == "VECTOR__INDEPENDENT_SIG_MSG") {
            importer.Report(message.line, N_("the signals of no message (VECTOR__INDEPENDENT_SIG_MSG) left out"));
        } else if (!IsSignalName(message.name)) {
            importer.Report(message.line, FormatText(N_("message name %s left out: not a name a signal file takes"),
                                                     QuoteInput(message.name).c_str()));
        } else if (!names.insert(message.name).second) {
            importer.Report(message.line, FormatText(N_("message name %s is given twice: the second left out"), message.name.c_str()));
        } else {
            messages.push_back(&message);
        }
    }
    auto mappedCode = [map](const DbcMessage* message, uint32_t* code) {
        if (map == nullptr)
            return false;
        const auto found = map->codeOfId.find(message->id);
        if (found == map->codeOfId.end())
            return false;
        *code = found->second;
        return true;
    };
    uint32_t code = 0;
    *error = DbcCodeBaseProblem(codeBase, static_cast<size_t>(std::count_if(messages.begin(), messages.end(), [&](const DbcMessage* m) {
                                    return !mappedCode(m, &code);
                                })));
    if (!error->empty())
        return false;
    std::stable_sort(messages.begin(), messages.end(), [](const DbcMessage* a, const DbcMessage* b) { return a->id < b->id; });
    out->toml = FormatText("# From %s: each CAN message an array message, codes from %08x in the order of the identifiers%s.\n",
                           EscapeUtf8ForDisplay(dbcName).c_str(), codeBase, map != nullptr ? " where the map gives none" : "");
    // The map's codes first; the rest by the rule, past the codes the map took.
    size_t next = 0;
    for (const DbcMessage* message : messages) {
        if (mappedCode(message, &code)) {
            importer.Message(*message, code);
            continue;
        }
        while (map != nullptr && map->idOfCode.count(DbcMessageCode(codeBase, next)) != 0)
            ++next;
        if (!DbcCodeBaseProblem(codeBase, next + 1).empty()) {
            *error = DbcCodeBaseProblem(codeBase, next + 1);
            return false;
        }
        importer.Message(*message, DbcMessageCode(codeBase, next++));
    }
    importer.Finish();
    SignalDatabase database;
    std::vector<std::string> errors;
    if (!LoadSignalFile(out->toml, "import", &database, &errors)) {
        *error = errors.front();
        return false;
    }
    return true;
}
