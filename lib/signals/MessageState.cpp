#include "signals/MessageState.h"

#include <vector>

#include "common/Catalogue.h"
#include "common/Escapes.h"
#include "common/FormatText.h"
#include "protocol/PayloadLimits.h"

namespace {

uint64_t CounterMask(const Signal& signal)
{
    return signal.bits >= 64 ? ~0ULL : (1ULL << signal.bits) - 1;
}

// A string message's text in its encoding; refused, bytes untouched, when it does not go.
bool EncodeText(const Signal& signal, const std::string& text, TextEncoder gbk, std::string* bytes,
                std::string* error)
{
    std::string encoded = text;
    if (signal.encoding == kEncodingGbk && gbk != nullptr && !gbk(text, &encoded)) {
        *error = signal.name + ": " + FormatText(N_("%s has a character GBK lacks"), QuoteInput(text).c_str());
        return false;
    }
    if (signal.encoding == kEncodingGbk && gbk == nullptr) {
        for (char c : text) {
            if (static_cast<unsigned char>(c) >= 0x80) {
                *error = signal.name + ": " + N_("only ASCII text can be written to a gbk message here");
                return false;
            }
        }
    }
    if (encoded.size() > kMaxPayloadBytes) {
        *error = signal.name + ": " + N_("the text would be longer than 64 KiB");
        return false;
    }
    bytes->swap(encoded);
    return true;
}

// An array message's payload holding the fields a selector value chooses,
// each at its init, zero where there is none, as long as its last field.
bool PagePayload(const SignalMessage& message, int64_t selector, TextEncoder gbk, std::string* bytes,
                 std::string* error)
{
    bytes->clear();
    for (const Signal& field : message.signals)
        if (bytes->size() < field.byte + field.SpanBytes())
            bytes->resize(field.byte + field.SpanBytes(), '\0');
    for (const Signal& field : message.signals) {
        if (!field.hasInit || !field.SelectedBy(selector))
            continue;
        if (field.type != kSignalStr)
            WriteFieldRaw(field, field.init, bytes);
        else if (!WriteFieldText(field, field.initText, gbk, bytes, error))
            return false;
    }
    return true;
}

} // namespace

bool InitialPayload(const SignalMessage& message, TextEncoder gbk, std::string* bytes, std::string* error)
{
    // Of the multiplexed fields, only those the selector's init chooses.
    const int64_t selector = message.muxIndex >= 0 ? message.signals[static_cast<size_t>(message.muxIndex)].init.integer : 0;
    return PagePayload(message, selector, gbk, bytes, error);
}

bool ComputeMessageChecksum(const Signal& field, const std::string& bytes, uint32_t* checksum)
{
    std::string summed;
    for (const ByteRange& range : field.checksumBytes) {
        if (range.last >= bytes.size())
            return false;
        summed.append(bytes, range.first, range.last - range.first + 1);
    }
    *checksum = ComputeChecksum(*field.checksum, reinterpret_cast<const uint8_t*>(summed.data()), summed.size());
    return true;
}

void WriteChecksum(const SignalMessage& message, std::string* bytes)
{
    if (message.checksumIndex < 0)
        return;
    const Signal& field = message.signals[static_cast<size_t>(message.checksumIndex)];
    uint32_t checksum = 0;
    if (!ComputeMessageChecksum(field, *bytes, &checksum) || bytes->size() < field.byte + field.SpanBytes())
        return;
    SignalRaw raw;
    raw.integer = checksum;
    WriteFieldRaw(field, raw, bytes);
}

bool MessageState::Start(const SignalMessage& message, TextEncoder gbk, std::string* error)
{
    message_ = &message;
    gbk_ = gbk;
    word_ = 0;
    bytes_.clear();
    counter_ = 0;
    if (message.counterIndex >= 0) {
        const Signal& counter = message.signals[static_cast<size_t>(message.counterIndex)];
        counter_ = static_cast<uint64_t>(counter.init.integer) & CounterMask(counter);
    }
    cycle_.clear();
    pages_.clear();
    page_ = 0;
    if (message.kind == kArrayPayload && message.muxIndex >= 0 &&
        message.signals[static_cast<size_t>(message.muxIndex)].muxCycle) {
        // A payload per selector value, each with that value's fields.
        const Signal& selector = message.signals[static_cast<size_t>(message.muxIndex)];
        cycle_ = message.MuxCycleValues();
        pages_.resize(cycle_.size());
        for (size_t i = 0; i < cycle_.size(); ++i) {
            if (!PagePayload(message, cycle_[i], gbk, &pages_[i], error))
                return false;
            SignalRaw raw;
            raw.integer = cycle_[i];
            WriteFieldRaw(selector, raw, &pages_[i]);
        }
        return true;
    }
    if (message.kind == kArrayPayload)
        return InitialPayload(message, gbk, &bytes_, error);
    const Signal& self = message.signals.front();
    if (message.kind == kStringPayload)
        return EncodeText(self, self.initText, gbk, &bytes_, error);
    word_ = ValueWord(self.init);
    return true;
}

bool MessageState::Set(const Signal& signal, const std::string& value, std::string* error)
{
    if (signal.checksum != nullptr) {
        *error = signal.name + ": " + N_("a checksum is computed on every send, not set");
        return false;
    }
    if (message_->kind == kStringPayload)
        return EncodeText(signal, value, gbk_, &bytes_, error);
    if (message_->kind == kValueMessage) {
        SignalRaw raw;
        if (!EncodeSignalText(signal, value, &raw, error))
            return false;
        word_ = ValueWord(raw);
        if (signal.counter)
            counter_ = static_cast<uint64_t>(raw.integer) & CounterMask(signal);
        return true;
    }
    if (!pages_.empty())
        return SetInPages(signal, value, error);
    // Written to a copy first: a refused value leaves the bytes as they were.
    std::string bytes = bytes_;
    if (!WriteFieldText(signal, value, gbk_, &bytes, error))
        return false;
    SelectField(*message_, signal, &bytes);
    bytes_.swap(bytes);
    if (signal.counter)
        ReadFieldBits(signal, bytes_, &counter_);
    return true;
}

bool MessageState::SetInPages(const Signal& signal, const std::string& value, std::string* error)
{
    if (signal.mux) {
        *error = signal.name + ": " + N_("a selector with mux_cycle takes each of its values in turn: it is not set");
        return false;
    }
    // Into every payload that holds the field, on copies: a refused value changes none.
    std::vector<std::string> pages = pages_;
    for (size_t i = 0; i < pages.size(); ++i) {
        if (!signal.SelectedBy(cycle_[i]))
            continue;
        if (!WriteFieldText(signal, value, gbk_, &pages[i], error))
            return false;
        if (signal.counter)
            ReadFieldBits(signal, pages[i], &counter_);
    }
    pages_.swap(pages);
    return true;
}

RecordedMessage MessageState::Peek() const
{
    RecordedMessage message;
    message.code = message_->code;
    message.kind = message_->kind;
    message.value = word_;
    message.bytes = pages_.empty() ? bytes_ : pages_[page_];
    Stamp(&message);
    return message;
}

RecordedMessage MessageState::Next()
{
    RecordedMessage message = Peek();
    word_ = message.value;
    if (pages_.empty()) {
        bytes_ = message.bytes;
    } else {
        pages_[page_] = message.bytes;
        page_ = (page_ + 1) % pages_.size();
    }
    CountOn();
    return message;
}

void MessageState::Stamp(RecordedMessage* message) const
{
    if (message_->counterIndex >= 0) {
        const Signal& counter = message_->signals[static_cast<size_t>(message_->counterIndex)];
        SignalRaw raw;
        raw.integer = static_cast<int64_t>(counter_);
        if (message_->kind == kValueMessage) {
            message->value = ValueWord(raw);
        } else {
            if (message->bytes.size() < counter.byte + counter.SpanBytes())
                message->bytes.resize(counter.byte + counter.SpanBytes(), '\0');
            WriteFieldRaw(counter, raw, &message->bytes);
        }
    }
    WriteChecksum(*message_, &message->bytes);
}

void MessageState::CountOn()
{
    if (message_->counterIndex >= 0)
        counter_ = (counter_ + 1) & CounterMask(message_->signals[static_cast<size_t>(message_->counterIndex)]);
}

void MessageState::CountOnFrom(const RecordedMessage& seen)
{
    if (message_->counterIndex < 0 || seen.expired)
        return;
    const Signal& counter = message_->signals[static_cast<size_t>(message_->counterIndex)];
    uint64_t got = static_cast<uint32_t>(seen.value);
    if (message_->kind != kValueMessage && !ReadFieldBits(counter, seen.bytes, &got))
        return;
    counter_ = (got + 1) & CounterMask(counter);
}
