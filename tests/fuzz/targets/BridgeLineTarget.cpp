// A bridge line from the broker: what is taken, written again as a bridge
// writes it, reads back to the same message; a refusal always says why. Read
// as mosquitto_sub -F %j's line under --topic-prefix velk/, it is taken only
// from its origin's own topic.
#include "tests/fuzz/FuzzTargets.h"

#include "velkctl/BridgeLine.h"
#include "velkctl/BridgeTopic.h"
#include "formats/JsonLine.h"

namespace {

bool EachByteAChar(const char* bytes, size_t count, std::u16string* text)
{
    text->assign(bytes, bytes + count);
    return true;
}
bool NoLeadByte(unsigned char) { return false; }
const CodePage kBytes = { 1, NoLeadByte, EachByteAChar };

} // namespace

void FuzzBridgeLine(const uint8_t* data, size_t size)
{
    BridgeMessage message = {};
    std::string error;
    if (size > kMaxBridgeLine)
        return;   // the splitter never hands on a longer line
    const std::string whole(reinterpret_cast<const char*>(data), size);
    std::vector<BridgeInput> items;
    ReadInputLine(whole, "velk/", &items);
    FUZZ_CHECK(!items.empty());
    for (const BridgeInput& item : items) {
        if (item.verdict == kInputMessage) {
            std::string topic, payload;
            FUZZ_CHECK(ReadTopicLine(whole.data(), whole.size(), &topic, &payload, &error));
            FUZZ_CHECK(topic == "velk/" + item.message.origin);
        } else {
            FUZZ_CHECK(!item.error.empty());
        }
    }
    message = BridgeMessage();
    error.clear();
    if (!ParseBridgeLine(reinterpret_cast<const char*>(data), size, &message, &error)) {
        FUZZ_CHECK(!error.empty());
        return;
    }
    FUZZ_CHECK(IsBridgeName(message.origin));
    FUZZ_CHECK(message.run.empty() ? message.seq == 0 : IsBridgeName(message.run) && message.seq >= 1 &&
                                                            message.seq <= (uint64_t(1) << 53));
    FUZZ_CHECK(message.kind == ClassifyCode(message.code));
    FUZZ_CHECK(message.bytes.size() <= kMaxRecordedPayload);
    FUZZ_CHECK(message.kind != kValueMessage || message.bytes.empty());

    RecordedMessage recorded = { 0, message.code, message.kind, message.value, message.bytes, 0 };
    bool expired = message.kind != kValueMessage && message.expired;
    std::string object = FormatJsonLine(recorded, 0, expired, kBytes);
    std::string line = message.run.empty()
                           ? object.substr(0, object.size() - 1) + ",\"origin\":\"" + message.origin + "\"}"
                           : FormatBridgeLine(object, message.origin, message.run, message.seq);
    BridgeMessage again = {};
    std::vector<char> copy(line.begin(), line.end());
    FUZZ_CHECK(ParseBridgeLine(copy.data(), copy.size(), &again, &error));
    FUZZ_CHECK(again.origin == message.origin && again.run == message.run && again.seq == message.seq);
    FUZZ_CHECK(again.code == message.code && again.kind == message.kind && again.value == message.value);
    FUZZ_CHECK(again.bytes == message.bytes && again.expired == expired);
}
