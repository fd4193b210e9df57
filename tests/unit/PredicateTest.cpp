// The predicate grammar of session's expect and record --trigger. Pure logic.
#include <gtest/gtest.h>

#include "formats/Predicate.h"
#include "tests/unit/FakeSignals.h"

namespace {

RecordedMessage Value(uint32_t code, int32_t value)
{
    RecordedMessage message = {};
    message.code = code;
    message.kind = kValueMessage;
    message.value = value;
    return message;
}

RecordedMessage Payload(uint32_t code, const std::string& bytes)
{
    RecordedMessage message = {};
    message.code = code;
    message.kind = kStringPayload;
    message.bytes = bytes;
    return message;
}

bool Holds(const std::string& text, const RecordedMessage& message)
{
    FakeSignals signals;
    Predicate predicate;
    std::string error;
    EXPECT_TRUE(ParsePredicate(text, &signals, &predicate, &error)) << text << ": " << error;
    return PredicateEvaluator(predicate, &signals).Holds(message);
}

TEST(Predicates, EachComparisonHoldsUpToItsBoundAndNotPast)
{
    struct Case { const char* text; int32_t below, at, above; bool holdsBelow, holdsAt, holdsAbove; };
    const Case cases[] = {
        { "20000801 eq 1500", 1499, 1500, 1501, false, true, false },
        { "20000801 ne 1500", 1499, 1500, 1501, true, false, true },
        { "20000801 lt 1500", 1499, 1500, 1501, true, false, false },
        { "20000801 le 1500", 1499, 1500, 1501, true, true, false },
        { "20000801 gt 1500", 1499, 1500, 1501, false, false, true },
        { "0x20000801 ge 1500", 1499, 1500, 1501, false, true, true },
        { "20000801 eq -2147483648", INT32_MIN, INT32_MIN, INT32_MIN + 1, true, true, false },
        { "20000801 eq 2147483647", INT32_MAX - 1, INT32_MAX, INT32_MAX, false, true, true },
        { "20000801 eq 0xffffffff", -2, -1, 0, false, true, false },   // the data word's bits
        { "20000801 gt 0x7fffffff", INT32_MAX, INT32_MAX, INT32_MAX, false, false, false },
        { "motor.speed ge 148.25", 592, 593, 594, false, true, true },  // a quarter of the word
        { "pump.state eq FAULT", 2, 3, 4, false, true, false },
        { "motor.speed lt -0.5", -3, -2, -1, true, false, false },
        // The symbols mean the same.
        { "20000801 == 1500", 1499, 1500, 1501, false, true, false },
        { "20000801 != 1500", 1499, 1500, 1501, true, false, true },
        { "20000801 < 1500", 1499, 1500, 1501, true, false, false },
        { "20000801 <= 1500", 1499, 1500, 1501, true, true, false },
        { "20000801 > 1500", 1499, 1500, 1501, false, false, true },
        { "pump.state >= FAULT", 2, 3, 4, false, true, true },
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.text);
        const uint32_t code = test.text[0] == 'm' ? 0x20001001 : test.text[0] == 'p' ? 0x20001002 : 0x20000801;
        EXPECT_EQ(test.holdsBelow, Holds(test.text, Value(code, test.below)));
        EXPECT_EQ(test.holdsAt, Holds(test.text, Value(code, test.at)));
        EXPECT_EQ(test.holdsAbove, Holds(test.text, Value(code, test.above)));
    }
    // Only the codes it names; the mask's bits alone matter.
    EXPECT_FALSE(Holds("20000801 eq 5", Value(0x20000802, 5)));
    EXPECT_TRUE(Holds("20000800/ffffff00 eq 5", Value(0x200008ff, 5)));
    EXPECT_FALSE(Holds("20000800/ffffff00 eq 5", Value(0x20000905, 5)));
    EXPECT_FALSE(Holds("pump.state eq RUNNING", Value(0x20001001, 2)));
    // A payload has no value to compare.
    EXPECT_FALSE(Holds("30000201 eq 0", Payload(0x30000201, "")));
    EXPECT_FALSE(Holds("30000201 ne 0", Payload(0x30000201, "x")));
}

TEST(Predicates, ChangedHoldsOnADifferenceFromTheSameCodesLastMessage)
{
    FakeSignals signals;
    Predicate predicate;
    std::string error;
    ASSERT_TRUE(ParsePredicate("20000800/ffffff00 changed", &signals, &predicate, &error)) << error;
    PredicateEvaluator changed(predicate, &signals);
    EXPECT_FALSE(changed.Holds(Value(0x20000801, 5)));   // first of its code
    EXPECT_FALSE(changed.Holds(Value(0x20000802, 6)));   // first of another code
    EXPECT_FALSE(changed.Holds(Value(0x20000801, 5)));
    EXPECT_TRUE(changed.Holds(Value(0x20000801, 6)));
    EXPECT_FALSE(changed.Holds(Value(0x20000802, 6)));   // per code, not the last message seen
    EXPECT_FALSE(changed.Holds(Value(0x20000901, 7)));   // outside the mask

    ASSERT_TRUE(ParsePredicate("30000201 changed", &signals, &predicate, &error)) << error;
    PredicateEvaluator payload(predicate, &signals);
    const std::string longer(100, 'a');
    EXPECT_FALSE(payload.Holds(Payload(0x30000201, "ab")));
    EXPECT_TRUE(payload.Holds(Payload(0x30000201, "ac")));
    EXPECT_TRUE(payload.Holds(Payload(0x30000201, longer)));
    EXPECT_FALSE(payload.Holds(Payload(0x30000201, longer)));
    EXPECT_TRUE(payload.Holds(Payload(0x30000201, longer + "b")));

    // The last code that fits is kept; past it, codes are never changed.
    ASSERT_TRUE(ParsePredicate("0/0 changed", &signals, &predicate, &error)) << error;
    PredicateEvaluator many(predicate, &signals);
    for (uint32_t code = 1; code <= PredicateEvaluator::kMaxChangedCodes; ++code) {
        EXPECT_FALSE(many.Full());
        many.Holds(Value(code, 0));
    }
    EXPECT_TRUE(many.Full());
    many.Holds(Value(PredicateEvaluator::kMaxChangedCodes + 1, 0));
    EXPECT_TRUE(many.Holds(Value(PredicateEvaluator::kMaxChangedCodes, 1)));
    EXPECT_FALSE(many.Holds(Value(PredicateEvaluator::kMaxChangedCodes + 1, 1)));
}

TEST(Predicates, BadTextsNameTheColumnAndTheFault)
{
    struct Case { const char* text; bool withSignals; const char* error; };
    const Case cases[] = {
        { "", true, "at column 1: expected CODE[/MASK] or a signal name" },
        { "   ", true, "at column 4: expected CODE[/MASK]" },
        { "20000801 eq \"5", true, "at column 13: the closing \" of this text is missing" },
        { "rig.text gt 5", true, "at column 10: rig.text is a text: it takes eq ne changed contains, not gt" },
        { "motor.speed contains 5", true, "at column 13: contains takes a text signal" },
        { "rig.text eq PUMP READY", true, "at column 18: unexpected 'READY' after the VALUE (a text with blanks" },
        { "rig.text contains", true, "at column 18: contains needs a VALUE" },
        { "20000801 gtt 5", true, "at column 10: unknown operator 'gtt'" },
        { "20000801 GT 5", true, "at column 10: unknown operator 'GT'" },
        { "20000801 => 5", true, "at column 10: unknown operator '=>'" },
        { "20000801 gt", true, "at column 12: gt needs a VALUE" },
        { "20000801 changed 5", true, "at column 18: changed takes no VALUE" },
        { "20000801 gt 5 6", true, "at column 15: unexpected '6' after the VALUE" },
        { "20000801 gt 1.5", true, "at column 13: bad VALUE '1.5': expected a whole 32-bit number" },
        { "20000801 gt 2147483648", true, "at column 13: bad VALUE" },
        { "20000801 gt -2147483649", true, "at column 13: bad VALUE" },
        { "20000801 gt 0x100000000", true, "at column 13: bad VALUE" },
        { "20000801 eq RUNNING", true, "at column 13: bad VALUE 'RUNNING': enum names need a signal" },
        { "  123456789 eq 1", true, "at column 3: no signal '123456789'" },
        { "2000080G eq 1", false, "at column 1: bad code '2000080G'" },
        { "motor.speed eq 1", false, "signal names need a signal file" },
        { "20000801/fffffffff eq 1", true, "at column 1: bad code mask" },
        { "motor.sped eq 1", true, "at column 1: no signal 'motor.sped'" },
        { "pump.state eq BROKEN", true, "at column 15: no 'BROKEN' in pump.state" },
        { "motor.speed eq 1.5x", true, "at column 16: bad VALUE '1.5x'" },
        { "motor.speed eq --1", true, "at column 16: bad VALUE" },
    };
    FakeSignals signals;
    for (const Case& test : cases) {
        SCOPED_TRACE(test.text);
        Predicate predicate;
        predicate.operand = 42;
        std::string error;
        EXPECT_FALSE(ParsePredicate(test.text, test.withSignals ? &signals : nullptr, &predicate, &error));
        EXPECT_NE(std::string::npos, error.find(test.error)) << error;
        EXPECT_EQ(42, predicate.operand);
    }
}

TEST(Predicates, ATextSignalComparesItsTextAndNoOperatorTakesAnyMessage)
{
    struct Case { const char* text; const char* payload; bool holds; };
    const Case cases[] = {
        { "rig.text eq READY", "READY", true },
        { "rig.text eq READY", "READY2", false },
        { "rig.text eq \"PUMP READY\"", "PUMP READY", true },
        { "rig.text eq \"say \\\"hi\\\" \\\\ now\"", "say \"hi\" \\ now", true },
        { "rig.text eq \"\"", "", true },
        { "rig.text ne READY", "BUSY", true },
        { "rig.text ne READY", "READY", false },
        { "rig.text contains \"UMP R\"", "PUMP READY", true },
        { "rig.text contains UMPR", "PUMP READY", false },
        { "rig.text eq 42", "42", true },                 // a text, not a number
        { "rig.text", "anything", true },
        { "20000800/ffffff00", "", false },                // a payload of another code
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.text);
        EXPECT_EQ(test.holds, Holds(test.text, Payload(0x30000201, test.payload)));
    }
    EXPECT_FALSE(Holds("rig.text eq READY", Value(0x30000201, 0)));   // no text in it
    EXPECT_TRUE(Holds("20000800/ffffff00", Value(0x200008ff, -7)));
    EXPECT_FALSE(Holds("20000801", Value(0x20000802, 5)));

    FakeSignals signals;
    Predicate predicate;
    std::string error;
    ASSERT_TRUE(ParsePredicate("rig.text changed", &signals, &predicate, &error)) << error;
    PredicateEvaluator changed(predicate, &signals);
    EXPECT_FALSE(changed.Holds(Payload(0x30000201, "READY")));   // the first text
    EXPECT_FALSE(changed.Holds(Payload(0x30000201, "READY")));
    EXPECT_TRUE(changed.Holds(Payload(0x30000201, "BUSY")));
}

} // namespace

// contains at the text's two ends and the whole text; changed by a text's
// last byte; a text refuses the orderings from lt to ge.
TEST(Predicates, ATextSignalAtItsEdges)
{
    EXPECT_TRUE(Holds("rig.text contains PUMP", Payload(0x30000201, "PUMP READY")));
    EXPECT_TRUE(Holds("rig.text contains READY", Payload(0x30000201, "PUMP READY")));
    EXPECT_TRUE(Holds("rig.text contains \"PUMP READY\"", Payload(0x30000201, "PUMP READY")));
    EXPECT_FALSE(Holds("rig.text contains \"PUMP READY!\"", Payload(0x30000201, "PUMP READY")));
    FakeSignals signals;
    Predicate predicate;
    std::string error;
    ASSERT_TRUE(ParsePredicate("rig.text changed", &signals, &predicate, &error)) << error;
    PredicateEvaluator changed(predicate, &signals);
    EXPECT_FALSE(changed.Holds(Payload(0x30000201, "READY 1")));
    EXPECT_TRUE(changed.Holds(Payload(0x30000201, "READY 2")));
    for (const char* text : { "rig.text lt A", "rig.text ge A" }) {
        EXPECT_FALSE(ParsePredicate(text, &signals, &predicate, &error)) << text;
        EXPECT_NE(std::string::npos, error.find("rig.text is a text: it takes eq ne changed contains")) << error;
    }
}
