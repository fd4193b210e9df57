// Multiplexed fields: the selector and its values as the loader checks them,
// decoding only what the selector chooses, and sends that set it.
#include <gtest/gtest.h>

#include "formats/Predicate.h"
#include "signals/DatabaseResolver.h"
#include "signals/MessageState.h"
#include "signals/SignalCodec.h"
#include "signals/SignalCsv.h"
#include "signals/SignalFile.h"
#include "signals/SignalText.h"
#include "tests/unit/LoadSignals.h"
#include "velkctl/SignalTable.h"

namespace {

// A page selector in byte 0; temperature (page 0) and the overlapping
// pressure (pages 1 and 255) in bytes 1-2; a status byte in every payload.
const std::string kHead = "[[message]]\ncode = \"30000401\"\nname = \"m\"\n"
                          "[[message.field]]\nname = \"page\"\nbyte = 0\ntype = \"u8\"\nmux = true\n";
const std::string kPaged = kHead +
                           "[[message.field]]\nname = \"temp\"\nbyte = 1\ntype = \"i16\"\nendian = \"little\"\n"
                           "mux_value = 0\ninit = -5\n"
                           "[[message.field]]\nname = \"press\"\nbyte = 1\ntype = \"u8\"\nmux_value = [255, 1]\n"
                           "[[message.field]]\nname = \"status\"\nbyte = 3\ntype = \"u8\"\n";

std::string FirstError(const std::string& text)
{
    SignalDatabase database;
    const std::vector<std::string> errors = Load(text, &database);
    return errors.empty() ? std::string() : errors[0];
}

std::string Line(const SignalMessage& message, const std::string& bytes)
{
    std::vector<DecodedSignal> decoded;
    DecodeMessage(message, 0, bytes, kPages, &decoded);
    return FormatSignalsLine(decoded) + " " + FormatSignalsJson(decoded);
}

} // namespace

TEST(SignalMux, TheLoaderTakesOneSelectorAndValuesItCanHold)
{
    SignalDatabase database;
    std::vector<std::string> errors = Load(kPaged, &database);
    ASSERT_TRUE(errors.empty()) << errors[0];
    const SignalMessage& message = database.Messages()[0];
    EXPECT_EQ(0, message.muxIndex);
    EXPECT_EQ((std::vector<int64_t>{ 1, 255 }), message.signals[2].muxValues);
    const std::string table = FormatSignalTable(database);   // signals show
    EXPECT_NE(std::string::npos, table.find("  mux\n")) << table;
    EXPECT_NE(std::string::npos, table.find("  mux_value 1/255\n")) << table;

    const std::string field = "[[message.field]]\nname = \"x\"\nbyte = 1\ntype = \"u8\"\n";
    // The selector's raw range at both ends, unsigned and signed.
    EXPECT_EQ("", FirstError(kHead + field + "mux_value = [0, 255]\n"));
    EXPECT_EQ("f.toml:13:13: mux_value 256 is outside what selector 'page' holds: 0 to 255",
              FirstError(kHead + field + "mux_value = [0, 256]\n"));
    EXPECT_EQ("f.toml:13:13: mux_value -1 is outside what selector 'page' holds: 0 to 255",
              FirstError(kHead + field + "mux_value = -1\n"));
    std::string wide = kHead;
    wide.replace(wide.find("\"u8\""), 4, "\"i8\"\nbits = 4");
    EXPECT_EQ("", FirstError(wide + field + "mux_value = [-8, 7]\n"));
    EXPECT_EQ("f.toml:14:13: mux_value 8 is outside what selector 'page' holds: -8 to 7",
              FirstError(wide + field + "mux_value = [-8, 8]\n"));

    const std::vector<std::pair<std::string, std::string>> mistakes = {
        { kHead + field + "mux = true\n", "f.toml:9:1: a message has one selector: field 'page' (line 4) is one already" },
        { "[[message]]\ncode = \"30000401\"\nname = \"m\"\n" + field + "mux_value = 1\n",
          "f.toml:8:13: mux_value needs a selector in the message: a field with mux = true" },
        { kHead + "mux_value = 1\n",
          "f.toml:9:13: a selector, counter or checksum is in every payload: it takes no mux_value" },
        { kHead + field + "mux_value = []\n", "f.toml:13:13: mux_value must be a whole number or a list of 1 to 256 of them" },
        { kHead + field + "mux_value = [3, 3]\n", "f.toml:13:17: mux_value 3 is given twice" },
        { kHead + field + "mux_value = [1.5]\n", "f.toml:13:14: mux_value must be a whole number or a list" },
        { kHead + field + "mux = 1\n", "f.toml:13:7: mux must be true or false" },
        { kHead + "[[message.field]]\nname = \"x\"\nbyte = 1\ntype = \"f32\"\nendian = \"little\"\nmux = true\n",
          "f.toml:14:1: mux does not fit a f32 field: a selector is an integer or bool field" },
        // Overlaps: allowed only between fields no one selector value holds together.
        { kPaged + "[[message.field]]\nname = \"y\"\nbyte = 2\ntype = \"u8\"\nmux_value = [0, 2]\n",
          "f.toml:25:1: field 'y' overlaps field 'temp' in byte 2" },
        { kPaged + "[[message.field]]\nname = \"y\"\nbyte = 1\ntype = \"u8\"\nmux_value = 1\n",
          "f.toml:25:1: field 'y' overlaps field 'press' in byte 1" },
        { kPaged + "[[message.field]]\nname = \"y\"\nbyte = 3\ntype = \"bool\"\nbit = 7\nmux_value = 7\n",
          "f.toml:25:1: field 'y' overlaps field 'status' in byte 3" },
    };
    for (const auto& [text, error] : mistakes)
        EXPECT_EQ(error, FirstError(text).substr(0, error.size())) << text;
}

TEST(SignalMux, OnlyTheFieldsTheSelectorChoosesHaveValues)
{
    SignalDatabase database;
    ASSERT_TRUE(Load(kPaged, &database).empty());
    const SignalMessage& message = database.Messages()[0];
    EXPECT_EQ("m.page=0  m.temp=-2  m.status=9 {\"m.page\":0,\"m.temp\":-2,\"m.status\":9}",
              Line(message, std::string("\x00\xfe\xff\x09", 4)));
    EXPECT_EQ("m.page=255  m.press=254  m.status=9 {\"m.page\":255,\"m.press\":254,\"m.status\":9}",
              Line(message, std::string("\xff\xfe\xff\x09", 4)));
    EXPECT_EQ("m.page=1  m.press=254  m.status=9 {\"m.page\":1,\"m.press\":254,\"m.status\":9}",
              Line(message, std::string("\x01\xfe\xff\x09", 4)));
    EXPECT_EQ("m.page=2  m.status=9 {\"m.page\":2,\"m.status\":9}", Line(message, std::string("\x02\xfe\xff\x09", 4)));
    // No selector in the payload: no multiplexed field has a value.
    EXPECT_EQ("m.page=missing  m.status=missing {\"m.page\":null,\"m.status\":null}", Line(message, ""));

    std::vector<DecodedSignal> decoded;
    DecodeMessage(message, 0, std::string("\x02\xfe\xff\x09", 4), kPages, &decoded);
    ASSERT_EQ(4u, decoded.size());
    EXPECT_TRUE(decoded[1].unselected && decoded[1].missing);
    EXPECT_EQ("-", FormatSignalValue(decoded[1]));

    RecordedMessage received;
    received.code = message.code;
    received.kind = kArrayPayload;
    received.bytes = std::string("\x01\x07\x00\x09", 4);
    EXPECT_EQ(3u, SignalCsvCells(database, received, kPages).size());
    const std::vector<CsvSignalCells> kept = SignalCsvCells(database, received, kPages, true);
    ASSERT_EQ(4u, kept.size());
    EXPECT_TRUE(kept[1].missing);
    EXPECT_EQ("7", kept[2].physical);
    DatabaseResolver resolver(database, kPages);
    double value = 0;
    EXPECT_FALSE(resolver.ExtractSignal("m.temp", received, &value));
    EXPECT_TRUE(resolver.ExtractSignal("m.press", received, &value));
    EXPECT_EQ(7, value);
    // A trigger on a multiplexed field holds only where the selector chooses it.
    Predicate predicate;
    std::string why;
    ASSERT_TRUE(ParsePredicate("m.press eq 7", &resolver, &predicate, &why)) << why;
    PredicateEvaluator evaluator(predicate, &resolver);
    EXPECT_TRUE(evaluator.Holds(received));
    received.bytes[0] = '\x00';
    EXPECT_FALSE(evaluator.Holds(received));

    // An enum name in free text, quoted in a predicate as in a send.
    SignalDatabase named;
    ASSERT_TRUE(Load("[[message]]\ncode = \"20001001\"\nname = \"s\"\nenum = { 0 = \"No Fault\", 1 = \"2 wheel drive\" }\n",
                     &named).empty());
    const DatabaseResolver byName(named, kPages);
    ASSERT_TRUE(ParsePredicate("s eq \"2 wheel drive\"", &byName, &predicate, &why)) << why;
    EXPECT_EQ(1, predicate.operand);
    EXPECT_FALSE(ParsePredicate("s eq \"No Faults\"", &byName, &predicate, &why));
    EXPECT_NE(std::string::npos, why.find("did you mean 'No Fault'?")) << why;
    // A u64 reaches 2^64 - 1: a trigger up to there can hold, one past it never does.
    ASSERT_TRUE(Load("[[message]]\ncode = \"30000401\"\nname = \"w\"\n[[message.field]]\nname = \"id\"\nbyte = 0\n"
                     "type = \"u64\"\nendian = \"little\"\n", &named).empty());
    ASSERT_TRUE(ParsePredicate("w.id ge 1.8e19", &byName, &predicate, &why)) << why;
    EXPECT_TRUE(ComparisonWithinRange(predicate, named, &why)) << why;
    EXPECT_FALSE(ParsePredicate("w.id ge 1.9e19", &byName, &predicate, &why));
    EXPECT_NE(std::string::npos, why.find("never holds")) << why;
}

TEST(SignalMux, SendingAFieldSetsItsSelector)
{
    SignalDatabase database;
    ASSERT_TRUE(Load(kPaged + "[[message.field]]\nname = \"flow\"\nbyte = 4\ntype = \"u8\"\nmux_value = [2, 255]\n",
                     &database).empty());
    const SignalMessage& message = database.Messages()[0];
    std::string payload, error;
    // The init payload holds the fields of the selector's init (0): temp's -5.
    ASSERT_TRUE(BuildArrayPayload(message, {}, "", &payload, &error)) << error;
    EXPECT_EQ(std::string("\x00\xfb\xff\x00\x00", 5), payload);
    ASSERT_TRUE(BuildArrayPayload(message, { "press=3" }, "", &payload, &error)) << error;
    EXPECT_EQ(std::string("\x01\x03\xff\x00\x00", 5), payload);
    // The one value both press and flow are in; the selector as assigned.
    ASSERT_TRUE(BuildArrayPayload(message, { "press=3", "flow=4" }, "", &payload, &error)) << error;
    EXPECT_EQ(std::string("\xff\x03\xff\x00\x04", 5), payload);
    ASSERT_TRUE(BuildArrayPayload(message, { "page=255", "press=3" }, "", &payload, &error)) << error;
    EXPECT_EQ('\xff', payload[0]);
    // A selector already choosing the field stays.
    ASSERT_TRUE(BuildArrayPayload(message, { "press=3" }, std::string("\xff\x00\x00\x00\x00", 5), &payload, &error));
    EXPECT_EQ('\xff', payload[0]);
    EXPECT_FALSE(BuildArrayPayload(message, { "page=0", "press=3" }, "", &payload, &error));
    EXPECT_EQ("m.press: it is not in a payload whose page is 0", error);
    EXPECT_FALSE(BuildArrayPayload(message, { "temp=1", "press=3" }, "", &payload, &error));
    EXPECT_EQ("m.press: no value of page puts it in one payload with m.temp", error);

    MessageState state;
    ASSERT_TRUE(state.Start(message, nullptr, &error)) << error;
    ASSERT_TRUE(state.Set(*message.FindField("flow"), "6", &error)) << error;
    EXPECT_EQ(std::string("\x02\xfb\xff\x00\x06", 5), state.Next().bytes);
    ASSERT_TRUE(state.Set(*message.FindField("press"), "5", &error)) << error;
    EXPECT_EQ(std::string("\x01\x05\xff\x00\x06", 5), state.Next().bytes);
}

TEST(SignalMux, ACyclingSelectorSendsEachValueInTurn)
{
    const std::string cycling = "[[message]]\ncode = \"30000401\"\nname = \"m\"\n"
                                "[[message.field]]\nname = \"page\"\nbyte = 0\ntype = \"u8\"\nmux = true\n"
                                "mux_cycle = true\ninit = 7\n";
    // The selector's init (7) is none of the values: the sends go 0, 1, 255, 0.
    SignalDatabase database;
    std::vector<std::string> errors = Load(cycling + "[[message.field]]\nname = \"temp\"\nbyte = 1\ntype = \"u8\"\n"
                                                     "mux_value = 0\ninit = 9\n"
                                                     "[[message.field]]\nname = \"press\"\nbyte = 1\ntype = \"u8\"\n"
                                                     "mux_value = [255, 1]\n"
                                                     "[[message.field]]\nname = \"alive\"\nbyte = 2\ntype = \"u8\"\n"
                                                     "counter = true\n",
                                           &database);
    ASSERT_TRUE(errors.empty()) << errors[0];
    const SignalMessage& message = database.Messages()[0];
    EXPECT_NE(std::string::npos, FormatSignalTable(database).find("  mux, mux_cycle\n"));
    MessageState state;
    std::string error;
    ASSERT_TRUE(state.Start(message, nullptr, &error)) << error;
    EXPECT_EQ(std::string("\x00\x09\x00", 3), state.Next().bytes);
    ASSERT_TRUE(state.Set(*message.FindField("press"), "4", &error)) << error;
    EXPECT_EQ(std::string("\x01\x04\x01", 3), state.Next().bytes);
    EXPECT_EQ(std::string("\xff\x04\x02", 3), state.Next().bytes);
    EXPECT_EQ(std::string("\x00\x09\x03", 3), state.Next().bytes);   // temp's page keeps temp
    EXPECT_FALSE(state.Set(*message.FindField("page"), "1", &error));
    EXPECT_EQ("m.page: a selector with mux_cycle takes each of its values in turn: it is not set", error);

    // One value: every send the same page.
    ASSERT_TRUE(Load(cycling + "[[message.field]]\nname = \"x\"\nbyte = 1\ntype = \"u8\"\nmux_value = 3\n",
                     &database).empty());
    ASSERT_TRUE(state.Start(database.Messages()[0], nullptr, &error)) << error;
    EXPECT_EQ('\x03', state.Next().bytes[0]);
    EXPECT_EQ('\x03', state.Next().bytes[0]);

    // 256 values, named by two fields: 0 to 255, then 0 again.
    std::string all = "[";
    for (int value = 0; value < 256; ++value)
        all += (value > 0 ? ", " : "") + std::to_string(value);
    ASSERT_TRUE(Load(cycling + "[[message.field]]\nname = \"x\"\nbyte = 1\ntype = \"u8\"\nmux_value = " + all + "]\n"
                               "[[message.field]]\nname = \"y\"\nbyte = 2\ntype = \"u8\"\nmux_value = [0, 255]\n",
                     &database).empty());
    ASSERT_EQ(256u, database.Messages()[0].MuxCycleValues().size());
    ASSERT_TRUE(state.Start(database.Messages()[0], nullptr, &error)) << error;
    for (int value = 0; value < 256; ++value)
        ASSERT_EQ(static_cast<char>(value), state.Next().bytes[0]) << value;
    EXPECT_EQ('\x00', state.Next().bytes[0]);

    // Past 256 values (a u16 selector), elsewhere than the selector, none to go through, not a bool.
    const std::string wide = "[[message]]\ncode = \"30000401\"\nname = \"m\"\n[[message.field]]\nname = \"page\"\n"
                             "byte = 0\ntype = \"u16\"\nendian = \"little\"\nmux = true\nmux_cycle = true\n";
    EXPECT_EQ("", FirstError(wide + "[[message.field]]\nname = \"x\"\nbyte = 2\ntype = \"u8\"\nmux_value = " + all + "]\n"));
    EXPECT_EQ("f.toml:4:1: mux_cycle goes through at most 256 selector values, the fields name 257",
              FirstError(wide + "[[message.field]]\nname = \"x\"\nbyte = 2\ntype = \"u8\"\nmux_value = " + all + "]\n"
                         "[[message.field]]\nname = \"y\"\nbyte = 3\ntype = \"u8\"\nmux_value = 256\n"));
    EXPECT_EQ("f.toml:4:1: mux_cycle needs a field with mux_value: no selector value to go through", FirstError(cycling));
    EXPECT_EQ("f.toml:29:13: mux_cycle goes on the selector alone: a field with mux = true",
              FirstError(kPaged + "[[message.field]]\nname = \"z\"\nbyte = 4\ntype = \"u8\"\nmux_cycle = true\n"));
    EXPECT_EQ("f.toml:9:13: mux_cycle must be true or false", FirstError(kHead + "mux_cycle = 1\n"));
    EXPECT_EQ("f.toml:30:1: mux_cycle does not fit a f32 field: a selector is an integer or bool field",
              FirstError(kPaged + "[[message.field]]\nname = \"z\"\nbyte = 4\ntype = \"f32\"\nendian = \"little\"\nmux_cycle = true\n"));
}
