// A signal file from anyone: a refusal says where each mistake is, in the
// file's order; a file taken holds what its summary counts, finds every
// message and signal by its name, and decodes any payload without reading
// past it.
#include "tests/fuzz/FuzzTargets.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "common/Escapes.h"
#include "protocol/PayloadLimits.h"
#include "signals/MessageCheck.h"
#include "signals/MessageState.h"
#include "signals/SignalCodec.h"
#include "signals/SignalFile.h"
#include "velkctl/SignalTable.h"
#include "tests/unit/HostCodePages.h"

namespace {

const SignalCodePages kPages = { &kGbk, &kUtf8 };

// A decimal number of at most 10 digits at *at, then ':'.
bool Number(const std::string& text, size_t* at, uint64_t* number)
{
    size_t start = *at;
    *number = 0;
    while (*at < text.size() && *at - start < 10 && text[*at] >= '0' && text[*at] <= '9')
        *number = *number * 10 + static_cast<uint64_t>(text[(*at)++] - '0');
    if (*at == start || *at >= text.size() || text[*at] != ':')
        return false;
    ++*at;
    return true;
}

// "f:LINE:COLUMN: what", with what not empty.
bool Positioned(const std::string& error, uint64_t* line, uint64_t* column)
{
    size_t at = 2;
    return error.compare(0, 2, "f:") == 0 && Number(error, &at, line) && Number(error, &at, column) &&
           error.compare(at, 1, " ") == 0 && error.size() > at + 1;
}

// C0, DEL, C1 and the bidirectional overrides.
bool HasControl(const std::string& text)
{
    unsigned point = 0;
    for (size_t at = 0; at < text.size(); ++at)
        if (static_cast<unsigned char>(text[at]) < ' ' || text[at] == 0x7f || HiddenControlAt(text, at, &point) != 0)
            return true;
    return false;
}

// Where an array field ends, counted here from the layout the header states.
bool FieldFits(const Signal& field, size_t size)
{
    if (field.type == kSignalStr)
        return field.byte <= size && (field.length == 0 || size - field.byte >= field.length);
    const uint64_t span = (static_cast<uint64_t>(field.bit) + field.bits + 7) / 8;
    return field.byte <= size && size - field.byte >= span;
}

void CheckDecoding(const SignalMessage& message, int32_t value, const std::string& payload)
{
    std::vector<DecodedSignal> decoded;
    DecodeMessage(message, value, payload, kPages, &decoded);
    FUZZ_CHECK(decoded.size() == message.signals.size());
    // A multiplexed field has a value only where the selector, as decoded, chooses it.
    const DecodedSignal* selector = message.muxIndex >= 0 ? &decoded[static_cast<size_t>(message.muxIndex)] : nullptr;
    for (size_t i = 0; i < decoded.size(); ++i) {
        const Signal& signal = message.signals[i];
        const DecodedSignal& got = decoded[i];
        FUZZ_CHECK(got.signal == &signal);
        const bool chosen = signal.muxValues.empty() ||
                            (selector != nullptr && !selector->missing &&
                             std::find(signal.muxValues.begin(), signal.muxValues.end(), selector->raw) != signal.muxValues.end());
        FUZZ_CHECK(got.unselected == !chosen);
        if (message.kind == kArrayPayload)
            FUZZ_CHECK(got.missing == (!chosen || !FieldFits(signal, payload.size())));
        else
            FUZZ_CHECK(!got.missing);
        if (got.isText)
            FUZZ_CHECK(!HasControl(got.text));
        if (got.enumName != nullptr)
            FUZZ_CHECK(signal.EnumName(got.raw) == got.enumName);
    }
}

// What a sender sends, the receive check takes: its counter counts, its checksum checks.
void CheckSending(const SignalMessage& message)
{
    MessageState state;
    std::string error;
    if (!state.Start(message, nullptr, &error)) {
        FUZZ_CHECK(!error.empty());   // a gbk init beyond ASCII, without an encoder
        return;
    }
    MessageChecks checks;
    for (int i = 0; i < 3; ++i) {
        RecordedMessage sent = state.Next();
        FUZZ_CHECK(sent.code == message.code && sent.bytes.size() <= kMaxPayloadBytes);
        FUZZ_CHECK(!checks.Check(message, sent.value, sent.bytes).Any());
    }
}

} // namespace

void FuzzSignalFile(const uint8_t* data, size_t size)
{
    const std::string text = FuzzText(data, size);
    const uint64_t lines = static_cast<uint64_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    SignalDatabase database;
    std::vector<std::string> errors;
    if (!LoadSignalFile(text, "f", &database, &errors)) {
        FUZZ_CHECK(!errors.empty());
        FUZZ_CHECK(database.Messages().empty());   // untouched
        size_t positioned = errors.size();
        if (errors.back().compare(0, 3, "f: ") == 0) {
            // Only the line that says more were left out stands without a place.
            FUZZ_CHECK(errors.back().find("more errors left out") != std::string::npos);
            FUZZ_CHECK(errors.size() == kMaxSignalErrors + 1);
            --positioned;
        }
        FUZZ_CHECK(positioned >= 1 && positioned <= kMaxSignalErrors);
        uint64_t lastLine = 0, lastColumn = 0;
        for (size_t i = 0; i < positioned; ++i) {
            uint64_t line = 0, column = 0;
            FUZZ_CHECK(Positioned(errors[i], &line, &column));
            FUZZ_CHECK(line >= 1 && line <= lines && column >= 1);
            FUZZ_CHECK(line > lastLine || (line == lastLine && column >= lastColumn));
            lastLine = line;
            lastColumn = column;
        }
        return;
    }
    FUZZ_CHECK(errors.empty());

    size_t signals = 0;
    for (const SignalMessage& message : database.Messages()) {
        FUZZ_CHECK(message.kind == ClassifyCode(message.code));
        // An array may come without fields (known by name, its layout not given).
        FUZZ_CHECK(message.kind == kArrayPayload || message.signals.size() == 1);
        FUZZ_CHECK(database.FindCode(message.code) == &message);
        FUZZ_CHECK(database.FindMessage(message.name) == &message);
        for (const Signal& signal : message.signals)
            FUZZ_CHECK(database.FindSignal(signal.name).signal == &signal);
        signals += message.signals.size();
    }
    unsigned long long messageCount = 0, signalCount = 0;
    char messageWord[16] = "", signalWord[16] = "";
    const std::string summary = SignalSummary(database);
    FUZZ_CHECK(sscanf(summary.c_str(), "%llu %15[a-z], %llu %15[a-z]", &messageCount, messageWord, &signalCount,
                      signalWord) == 4);
    FUZZ_CHECK(messageCount == database.Messages().size() && signalCount == signals &&
               signals == database.SignalCount());
    FUZZ_CHECK(strcmp(messageWord, messageCount == 1 ? "message" : "messages") == 0);
    FUZZ_CHECK(strcmp(signalWord, signalCount == 1 ? "signal" : "signals") == 0);

    // The file's own bytes as payloads: whole (its buffer exactly as long,
    // past 15 bytes), and cut short so that fields go missing.
    int32_t value = 0;
    memcpy(&value, text.data(), std::min(size, sizeof value));
    const std::string whole(text.begin(), text.end());
    const std::string cut(text.begin(), text.begin() + (size == 0 ? 0 : data[size - 1] % (size + 1) % 24));
    for (const SignalMessage& message : database.Messages()) {
        CheckDecoding(message, value, whole);
        CheckDecoding(message, value, cut);
        CheckSending(message);
    }
}
