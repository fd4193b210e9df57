#include "signals/SignalDatabase.h"

#include <algorithm>

namespace {

struct TypeInfo { const char* name; unsigned bits; bool isSigned; bool isFloat; };

// In SignalType's order.
const TypeInfo kTypes[] = {
    { "u8", 8, false, false },  { "u16", 16, false, false }, { "u32", 32, false, false },
    { "i8", 8, true, false },   { "i16", 16, true, false },  { "i32", 32, true, false },
    { "f32", 32, true, true },  { "f64", 64, true, true },   { "bool", 1, false, false },
    { "str", 0, false, false },  { "u64", 64, false, false }, { "i64", 64, true, false },
};

} // namespace

const char* SignalTypeName(SignalType type) { return kTypes[type].name; }
unsigned SignalTypeBits(SignalType type) { return kTypes[type].bits; }
bool IsSignedType(SignalType type) { return kTypes[type].isSigned; }
bool IsFloatType(SignalType type) { return kTypes[type].isFloat; }

bool SignalTypeOfName(const std::string& name, SignalType* type)
{
    for (size_t i = 0; i < sizeof kTypes / sizeof kTypes[0]; ++i) {
        if (name == kTypes[i].name) {
            *type = static_cast<SignalType>(i);
            return true;
        }
    }
    return false;
}

const std::string* Signal::EnumName(int64_t raw) const
{
    auto at = std::lower_bound(enums.begin(), enums.end(), raw,
                               [](const SignalEnumEntry& entry, int64_t value) { return entry.raw < value; });
    return at != enums.end() && at->raw == raw ? &at->name : nullptr;
}

bool Signal::EnumRaw(const std::string& enumName, int64_t* raw) const
{
    // A name with blanks may also come quoted, as a monitor line shows it.
    const size_t size = enumName.size();
    const bool quoted = size >= 2 && enumName.front() == '"' && enumName.back() == '"';
    for (int pass = 0; pass < (quoted ? 2 : 1); ++pass) {
        const std::string wanted = pass == 0 ? enumName : enumName.substr(1, size - 2);
        for (const SignalEnumEntry& entry : enums) {
            if (entry.name == wanted) {
                *raw = entry.raw;
                return true;
            }
        }
    }
    return false;
}

bool Signal::SelectedBy(int64_t raw) const
{
    return muxValues.empty() || std::binary_search(muxValues.begin(), muxValues.end(), raw);
}

unsigned Signal::SpanBytes() const
{
    if (type == kSignalStr)
        return length;
    return (bit + bits + 7) / 8;
}

unsigned Signal::BitsInByte(unsigned payloadByte) const
{
    if (type == kSignalStr)
        return 0xff;
    const unsigned span = SpanBytes();
    const uint64_t mask = (bits >= 64 ? ~0ULL : (1ULL << bits) - 1) << bit;
    const unsigned i = payloadByte - byte;
    return static_cast<unsigned>(mask >> 8 * (endian == kEndianBig ? span - 1 - i : i)) & 0xff;
}

void Signal::RawLimits(int64_t* lowest, int64_t* highest) const
{
    if (type == kSignalBool) {
        *lowest = 0;
        *highest = 1;
    } else if (IsSignedType(type)) {
        *lowest = bits >= 64 ? INT64_MIN : -static_cast<int64_t>(1ULL << (bits - 1));
        *highest = bits >= 64 ? INT64_MAX : static_cast<int64_t>((1ULL << (bits - 1)) - 1);
    } else {
        *lowest = 0;
        *highest = bits >= 63 ? INT64_MAX : static_cast<int64_t>((1ULL << bits) - 1);
    }
}

std::vector<int64_t> SignalMessage::MuxCycleValues() const
{
    std::vector<int64_t> values;
    if (muxIndex < 0)
        return values;
    for (const Signal& signal : signals)
        values.insert(values.end(), signal.muxValues.begin(), signal.muxValues.end());
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
    return values;
}

const Signal* SignalMessage::FindField(const std::string& wanted) const
{
    for (const Signal& signal : signals) {
        if (!signal.fieldName.empty() && signal.fieldName == wanted)
            return &signal;
    }
    return nullptr;
}

void SignalDatabase::Assign(std::vector<SignalMessage> messages)
{
    messages_ = std::move(messages);
    byCode_.clear();
    byMessageName_.clear();
    bySignalName_.clear();
    signalCount_ = 0;
    for (const SignalMessage& message : messages_)
        signalCount_ += message.signals.size();
    byCode_.reserve(messages_.size());
    byMessageName_.reserve(messages_.size());
    bySignalName_.reserve(signalCount_);
    for (size_t m = 0; m < messages_.size(); ++m) {
        byCode_.emplace(messages_[m].code, m);
        byMessageName_.emplace(messages_[m].name, m);
        for (size_t s = 0; s < messages_[m].signals.size(); ++s)
            bySignalName_.emplace(messages_[m].signals[s].name, std::make_pair(m, s));
    }
}

const SignalMessage* SignalDatabase::FindCode(uint32_t code) const
{
    auto found = byCode_.find(code);
    return found == byCode_.end() ? nullptr : &messages_[found->second];
}

const SignalMessage* SignalDatabase::FindMessage(const std::string& name) const
{
    auto found = byMessageName_.find(name);
    return found == byMessageName_.end() ? nullptr : &messages_[found->second];
}

SignalRef SignalDatabase::FindSignal(const std::string& fullName) const
{
    auto found = bySignalName_.find(fullName);
    if (found == bySignalName_.end())
        return SignalRef{ nullptr, nullptr };
    const SignalMessage& message = messages_[found->second.first];
    return SignalRef{ &message, &message.signals[found->second.second] };
}
