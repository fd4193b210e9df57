#include "signals/DbcExport.h"

#include <ctype.h>
#include <float.h>
#include <math.h>

#include <algorithm>
#include <unordered_set>

#include "common/Catalogue.h"
#include "common/FormatText.h"
#include "signals/DbcFile.h"
#include "signals/DbcImport.h"
#include "signals/TomlValues.h"

namespace {

const unsigned kCanFdBytes = 64;

// Text in DBC's quotes: " and \ escaped, as the reader takes them back and
// as TOML writes them (the signal file's texts hold no control characters).
std::string DbcString(const std::string& text)
{
    return TomlBasicString(text);
}

// A name as a C identifier: each other character (a UTF-8 sequence counts
// as one) becomes _, and a name that begins with a digit gets _ before it.
std::string DbcName(const std::string& name)
{
    std::string out;
    for (size_t i = 0; i < name.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (c < 0x80 && (isalnum(c) || c == '_'))
            out += static_cast<char>(c);
        else if ((c & 0xC0) != 0x80)
            out += '_';
    }
    if (out.empty() || isdigit(static_cast<unsigned char>(out[0])))
        out.insert(0, "_");
    return out;
}

// Where a multiplexed message marks its fields in SG_ (" M", " m3"): the one
// place the selector and the fields of its values are written.
std::string MultiplexMark(const Signal& field)
{
    if (field.mux)
        return " M";
    if (field.muxValues.size() == 1)
        return FormatText(" m%lld", static_cast<long long>(field.muxValues[0]));
    return std::string();
}

class Exporter {
public:
    Exporter(const std::string& fileName, DbcExport* out) : fileName_(fileName), out_(out) {}

    void Report(int line, const std::string& what)
    {
        reports_.emplace_back(line, FormatText("%s:%d: ", fileName_.c_str(), line) + what);
    }
    // The report in the signal file's order.
    void Finish()
    {
        std::stable_sort(reports_.begin(), reports_.end(),
                         [](const std::pair<int, std::string>& a, const std::pair<int, std::string>& b) { return a.first < b.first; });
        for (auto& report : reports_)
            out_->report.push_back(std::move(report.second));
    }
    void Message(const SignalMessage& message, uint32_t id);
    // What follows BU_: the messages, then the comments, the attributes'
    // definitions and values, the value descriptions and the float types.
    std::string Sections() const
    {
        std::string definitions;
        if (hasPeriods_)
            definitions += "BA_DEF_ BO_ \"GenMsgCycleTime\" INT 0 2147483647;\n";
        if (hasInits_)
            definitions += "BA_DEF_ SG_ \"GenSigStartValue\" FLOAT -1.7976931348623157e+308 1.7976931348623157e+308;\n";
        return messages_ + "\n" + comments_ + definitions + attributes_ + values_ + types_;
    }

private:
    // The SG_ line of an exportable field, or false with the reason reported.
    bool Field(const Signal& field, uint32_t id, const std::string& name);
    std::string UniqueName(const std::string& wanted, std::unordered_set<std::string>* taken, int line, const char* what,
                           const std::string& original);

    std::string fileName_;
    DbcExport* out_;
    std::string messages_, comments_, attributes_, values_, types_;
    std::unordered_set<std::string> messageNames_;
    std::vector<std::pair<int, std::string>> reports_;
    bool hasPeriods_ = false, hasInits_ = false;
};

std::string Exporter::UniqueName(const std::string& wanted, std::unordered_set<std::string>* taken, int line,
                                 const char* what, const std::string& original)
{
    std::string name = wanted;
    for (int n = 2; !taken->insert(name).second; ++n)
        name = wanted + "_" + std::to_string(n);
    if (name != original)
        Report(line, FormatText(what, original.c_str(), name.c_str()));
    return name;
}

bool Exporter::Field(const Signal& field, uint32_t id, const std::string& name)
{
    if (field.type == kSignalStr) {
        Report(field.line, FormatText(N_("text field %s left out: a DBC signal is a number"), field.name.c_str()));
        return false;
    }
    if (field.muxValues.size() > 1) {
        Report(field.line, FormatText(N_("%s left out: a DBC signal is multiplexed by one selector value (mN), it has %zu"),
                                      field.name.c_str(), field.muxValues.size()));
        return false;
    }
    const bool isFloat = IsFloatType(field.type);
    const unsigned bits = isFloat ? SignalTypeBits(field.type) : field.bits;
    const bool motorola = field.endian == kEndianBig;
    // Motorola's start bit is the MSB: in the field's first byte, bit + bits - 1 up from its last byte's bit 0.
    const unsigned start = field.byte * 8 + (motorola ? (field.bit + bits - 1) % 8 : field.bit);
    double min = field.min, max = field.max;
    if (field.hasMin != field.hasMax) {
        // One limit alone: the other is what the raw values reach.
        double lowest = isFloat ? -(field.type == kSignalF32 ? FLT_MAX : DBL_MAX) : 0, highest = -lowest;
        if (!isFloat) {
            int64_t rawLowest, rawHighest;
            field.RawLimits(&rawLowest, &rawHighest);
            lowest = static_cast<double>(rawLowest) * field.scale + field.offset;
            highest = static_cast<double>(rawHighest) * field.scale + field.offset;
            if (lowest > highest)
                std::swap(lowest, highest);
        }
        (field.hasMin ? max : min) = field.hasMin ? highest : lowest;
    }
    messages_ += FormatText(" SG_ %s%s : %u|%u@%c%c (%s,%s) [%s|%s] %s Vector__XXX\n", name.c_str(),
                            MultiplexMark(field).c_str(), start, bits, motorola ? '0' : '1',
                            IsSignedType(field.type) || isFloat ? '-' : '+', ExactNumber(field.scale).c_str(),
                            ExactNumber(field.offset).c_str(), ExactNumber(min).c_str(), ExactNumber(max).c_str(),
                            DbcString(field.unit).c_str());
    if (isFloat)
        types_ += FormatText("SIG_VALTYPE_ %u %s : %d;\n", id, name.c_str(), field.type == kSignalF32 ? 1 : 2);
    if (!field.enums.empty()) {
        values_ += FormatText("VAL_ %u %s", id, name.c_str());
        for (const SignalEnumEntry& entry : field.enums)
            values_ += FormatText(" %lld ", static_cast<long long>(entry.raw)) + DbcString(entry.name);
        values_ += " ;\n";
    }
    if (field.hasInit) {
        hasInits_ = true;
        attributes_ += FormatText("BA_ \"GenSigStartValue\" SG_ %u %s %s;\n", id, name.c_str(),
                                  field.init.isFloat ? ExactNumber(field.init.real).c_str()
                                                     : FormatText("%lld", static_cast<long long>(field.init.integer)).c_str());
    }
    if (field.counter || field.checksum != nullptr)
        Report(field.line, FormatText(field.counter ? N_("%s is exported as a plain signal: a DBC has no counters")
                                                    : N_("%s is exported as a plain signal: a DBC has no checksums"),
                                      field.name.c_str()));
    return true;
}

void Exporter::Message(const SignalMessage& message, uint32_t id)
{
    unsigned bytes = 0;
    for (const Signal& field : message.signals)
        if (field.type != kSignalStr)
            bytes = std::max(bytes, field.byte + (IsFloatType(field.type) ? SignalTypeBits(field.type) / 8 : field.SpanBytes()));
    // As many bytes as the fields reach, 8 at least; a CAN FD frame holds 64.
    const unsigned dlc = bytes <= kCanFdBytes ? std::max(bytes, 8u) : 0;
    if (dlc == 0) {
        Report(message.line, FormatText(N_("message %s left out: its fields reach byte %u, past the 64 bytes of a CAN FD frame"),
                                        message.name.c_str(), bytes - 1));
        return;
    }
    const std::string name = UniqueName(DbcName(message.name), &messageNames_, message.line,
                                        N_("message %s is named %s in the DBC"), message.name);
    messages_ += FormatText("\nBO_ %u %s: %u Vector__XXX\n", id, name.c_str(), dlc);
    ++out_->messages;
    std::unordered_set<std::string> fieldNames;
    for (const Signal& field : message.signals) {
        const std::string fieldName = UniqueName(DbcName(field.fieldName), &fieldNames, field.line,
                                                 N_("field %s is named %s in the DBC"), field.fieldName);
        if (Field(field, id, fieldName))
            ++out_->signals;
    }
    if (!message.comment.empty())
        comments_ += FormatText("CM_ BO_ %u ", id) + DbcString(message.comment) + ";\n";
    if (message.periodMicros != 0) {
        if (message.periodMicros % 1000 != 0) {
            Report(message.line, FormatText(N_("the period of %s left out: GenMsgCycleTime holds whole milliseconds"),
                                            message.name.c_str()));
        } else {
            hasPeriods_ = true;
            attributes_ += FormatText("BA_ \"GenMsgCycleTime\" BO_ %u %llu;\n", id,
                                      static_cast<unsigned long long>(message.periodMicros / 1000));
        }
    }
}

} // namespace

void ExportDbc(const SignalDatabase& database, const std::string& fileName, uint32_t codeBase, const DbcCodeMap* map,
               DbcExport* out)
{
    Exporter exporter(fileName, out);
    std::unordered_set<uint32_t> ids;
    for (const SignalMessage& message : database.Messages()) {
        if (message.kind != kArrayPayload) {
            exporter.Report(message.line, FormatText(N_("%s message %s left out: a DBC holds the arrays"),
                                                     MessageKindName(message.kind), message.name.c_str()));
            continue;
        }
        uint32_t id;
        size_t index;
        if (map != nullptr && map->idOfCode.count(message.code) != 0) {
            id = map->idOfCode.at(message.code);
        } else if (DbcIndexOfCode(codeBase, message.code, &index)) {
            id = static_cast<uint32_t>(index <= 0x7FF ? index : index | kDbcExtendedFlag);
        } else {
            exporter.Report(message.line, FormatText(N_("message %s left out: its code %08x has no identifier in the map "
                                                        "nor by the rule from %08x"),
                                                     message.name.c_str(), message.code, codeBase));
            continue;
        }
        if (!ids.insert(id).second) {
            exporter.Report(message.line, FormatText(N_("message %s left out: identifier %u is another message's"),
                                                     message.name.c_str(), id));
            continue;
        }
        exporter.Message(message, id);
    }
    exporter.Finish();
    out->text = "VERSION \"\"\n\nNS_ :\n\tCM_\n\tBA_DEF_\n\tBA_\n\tVAL_\n\tSIG_VALTYPE_\n\nBS_:\n\nBU_:\n" + exporter.Sections();
}
