// velkpanel's logic: the control each signal gets, a slider's raw counts,
// what a group sends after a control changes (its init first, its counter
// and checksum on every send), lamps and cyclic deadlines.
#include <gtest/gtest.h>

#include "signals/MessageCheck.h"
#include "signals/SignalFile.h"
#include "tests/FileBytes.h"
#include "tests/unit/HostCodePages.h"
#include "velkpanel/AutomaticPanel.h"
#include "velkpanel/CyclicSchedule.h"
#include "velkpanel/PanelControls.h"
#include "velkpanel/PanelGroup.h"
#include "velkpanel/PanelLayout.h"
#include "velkpanel/PanelModel.h"
#include "velkpanel/PanelOptions.h"

namespace {

const SignalCodePages kPages = { &kGbk, &kUtf8 };

SignalDatabase Rig()
{
    SignalDatabase database;
    std::vector<std::string> errors;
    EXPECT_TRUE(LoadSignalFile(ReadFileText(CORVANE_SIGNALS_EXAMPLE), "rig.toml", &database, &errors));
    return database;
}

// A value message's one signal, stated by keys.
SignalDatabase Value(const std::string& keys)
{
    SignalDatabase database;
    std::vector<std::string> errors;
    EXPECT_TRUE(LoadSignalFile("[[message]]\ncode = \"20001001\"\nname = \"v\"\n" + keys, "f.toml", &database, &errors))
        << (errors.empty() ? "" : errors[0]);
    return database;
}

SignalDatabase Field(const std::string& keys)
{
    SignalDatabase database;
    std::vector<std::string> errors;
    EXPECT_TRUE(LoadSignalFile("[[message]]\ncode = \"30000401\"\nname = \"a\"\n[[message.field]]\nname = \"f\"\n" + keys,
                               "f.toml", &database, &errors))
        << (errors.empty() ? "" : errors[0]);
    return database;
}

const Signal& Only(const SignalDatabase& database)
{
    return database.Messages().at(0).signals.at(0);
}

RecordedMessage Array(uint32_t code, const std::string& bytes)
{
    RecordedMessage message = {};
    message.code = code;
    message.kind = kArrayPayload;
    message.bytes = bytes;
    return message;
}

RecordedMessage Word(uint32_t code, int32_t value)
{
    RecordedMessage message = {};
    message.code = code;
    message.kind = kValueMessage;
    message.value = value;
    return message;
}

TEST(PanelControls, EachSignalGetsTheControlItsKindCallsFor)
{
    const SignalDatabase rig = Rig();
    const Panel panel = AutomaticPanel(rig);
    ASSERT_EQ(1u, panel.tabs.size());
    std::vector<std::string> got;
    for (const PanelWidget& widget : panel.tabs[0].widgets)
        got.push_back(widget.signal->name + ":" + PanelWidgetTypeName(widget.type) + ":" + widget.label);
    // In the file's order; the pressure has a max but no min: no slider.
    EXPECT_EQ((std::vector<std::string>{ "motor.speed:slider:motor.speed", "motor.state:dropdown:motor.state",
                                         "motor.status.current:spin:current", "motor.status.alive:value:alive",
                                         "motor.status.crc:value:crc", "pump.status.mode:dropdown:mode",
                                         "pump.status.valve:toggle:valve", "pump.status.temperature:slider:temperature",
                                         "pump.status.pressure:spin:pressure", "pump.request:dropdown:pump.request",
                                         "rig.text:text:rig.text" }),
              got);
    EXPECT_EQ("open", panel.tabs[0].widgets[6].on);
    EXPECT_EQ("closed", panel.tabs[0].widgets[6].off);

    struct Case { std::string keys; bool field; PanelControlKind kind; };
    const Case cases[] = {
        { "min = 0\nmax = 10\n", false, kControlSlider },
        { "max = 10\n", false, kControlNumber },
        { "min = 0.1\nmax = 0.2\nscale = 0.25\n", false, kControlNumber },   // no raw count between
        { "byte = 0\ntype = \"f32\"\nendian = \"little\"\nmin = -1\nmax = 1\n", true, kControlSlider },
        { "byte = 0\ntype = \"u8\"\nbits = 1\nscale = 2\n", true, kControlToggle },
        { "byte = 0\ntype = \"u8\"\nbits = 2\n", true, kControlNumber },
        { "byte = 0\ntype = \"u8\"\nbits = 2\nmin = 0\nmax = 3\nenum = { 1 = \"A\" }\n", true, kControlDropdown },
        { "byte = 0\ntype = \"str\"\n", true, kControlText },
        { "byte = 0\ntype = \"u8\"\nbits = 1\ncounter = true\n", true, kControlReadout },   // not a toggle
        { "counter = true\nscale = 0.5\n", false, kControlReadout },                            // nor a number box
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.keys);
        const SignalDatabase database = test.field ? Field(test.keys) : Value(test.keys);
        EXPECT_EQ(test.kind, ChooseControl(Only(database)));
    }
    // A one-bit field's toggle sends raw 1 and 0 through its scale.
    const SignalDatabase bit = Field("byte = 0\ntype = \"u8\"\nbits = 1\nscale = 2\noffset = 1\n");
    EXPECT_EQ("3", ToggleValue(Only(bit), true));
    EXPECT_EQ("1", ToggleValue(Only(bit), false));
}

TEST(PanelControls, ASliderStepsByOneRawCountWithinItsLimits)
{
    const SignalDatabase rig = Rig();
    const Signal& speed = *rig.FindSignal("motor.speed").signal;
    SliderScale scale;
    ASSERT_TRUE(MakeSliderScale(speed, &scale));
    EXPECT_EQ(12000, scale.last);                              // 0 to 3000 rpm in quarters
    EXPECT_EQ(0.25, SliderPhysical(speed, scale, 1));
    EXPECT_EQ(3000, SliderPhysical(speed, scale, 12000));
    EXPECT_EQ(593, SliderPosition(speed, scale, 148.3));       // the nearest count
    EXPECT_EQ(12000, SliderPosition(speed, scale, 5000));      // clamped
    EXPECT_EQ(0, SliderPosition(speed, scale, -1));

    struct Case { std::string keys; bool fits; int64_t firstRaw; int last; };
    const Case cases[] = {
        { "min = 0.1\nmax = 1.0\nscale = 0.25\n", true, 1, 3 },          // ends inside the limits: 0.25 to 1
        { "min = -10\nmax = 10\nscale = -0.5\n", true, 20, 40 },          // physical grows as raw falls
        { "min = 5\nmax = 5\n", true, 5, 0 },
        { "min = 0.3\nmax = 0.4\nscale = 0.25\n", false, 0, 0 },
        { "min = 0\nmax = 2147483647\nsigned = false\n", true, 0, 2147483647 },
        { "min = 0\nmax = 2147483648\nsigned = false\n", false, 0, 0 },  // one position too many
        { "min = -5000000000\nmax = -2147483647\n", true, -2147483648LL, 1 },   // clipped to i32
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.keys);
        const SignalDatabase database = Value(test.keys);
        ASSERT_EQ(test.fits, MakeSliderScale(Only(database), &scale));
        if (test.fits) {
            EXPECT_EQ(test.firstRaw, scale.firstRaw);
            EXPECT_EQ(test.last, scale.last);
        }
    }
    const SignalDatabase unsigned8 = Field("byte = 0\ntype = \"u8\"\nmin = -100\nmax = 1000\n");
    ASSERT_TRUE(MakeSliderScale(Only(unsigned8), &scale));
    EXPECT_EQ(0, scale.firstRaw);
    EXPECT_EQ(255, scale.last);
    const SignalDatabase real = Field("byte = 0\ntype = \"f64\"\nendian = \"big\"\nmin = -1\nmax = 1\n");
    ASSERT_TRUE(MakeSliderScale(Only(real), &scale));
    EXPECT_EQ(kFloatSliderSteps, scale.last);
    EXPECT_EQ(-1, SliderPhysical(Only(real), scale, 0));
    EXPECT_EQ(0, SliderPhysical(Only(real), scale, kFloatSliderSteps / 2));
    EXPECT_EQ(1, SliderPhysical(Only(real), scale, kFloatSliderSteps));
}

TEST(PanelGroup, AnArrayGroupSendsEveryFieldAfterOneChanges)
{
    const SignalDatabase rig = Rig();
    const SignalMessage& pump = *rig.FindMessage("pump.status");
    const Signal& valve = *pump.FindField("valve");
    const Signal& pressure = *pump.FindField("pressure");
    PanelGroup group(rig, pump, kPages, nullptr);
    EXPECT_EQ(std::string(5, '\0'), group.Outgoing().bytes);    // the fields' bytes, zero

    std::string error;
    ASSERT_TRUE(group.SetText(valve, "open", &error)) << error;
    EXPECT_EQ(std::string("\x10\0\0\0\0", 5), group.Outgoing().bytes);

    // Received: mode auto, valve closed, -0.1 degC, 2.41 bar, a sixth byte.
    group.Receive(Array(pump.code, std::string("\x02\xff\x0f\x00\xf1\xee", 6)), 1000);
    EXPECT_EQ(std::string("\x12\xff\x0f\x00\xf1\xee", 6), group.Outgoing().bytes);   // the valve stays as set
    EXPECT_EQ("auto", *group.Received()[0].enumName);
    EXPECT_EQ("closed", *group.Received()[1].enumName);

    ASSERT_TRUE(group.SetPhysical(pressure, 2.504, &error)) << error;   // the nearest count: 250
    EXPECT_EQ(std::string("\x12\xff\x0f\x00\xfa\xee", 6), group.Outgoing().bytes);
    EXPECT_TRUE(group.IsSet(pressure));
    EXPECT_FALSE(group.IsSet(*pump.FindField("mode")));

    // Refused whole: nothing changes.
    EXPECT_FALSE(group.SetText(pressure, "10.01", &error));
    EXPECT_NE(std::string::npos, error.find("pump.status.pressure: 10.01 bar is above its max 10 bar")) << error;
    EXPECT_FALSE(group.SetText(*pump.FindField("mode"), "AUTO", &error));
    EXPECT_NE(std::string::npos, error.find("did you mean 'auto'")) << error;
    EXPECT_EQ(std::string("\x12\xff\x0f\x00\xfa\xee", 6), group.Outgoing().bytes);

    // A shorter message received: the fields set still go, the rest zero.
    group.Receive(Array(pump.code, std::string("\x01", 1)), 2000);
    EXPECT_EQ(std::string("\x11\x00\x00\x00\xfa", 5), group.Outgoing().bytes);
    EXPECT_TRUE(group.Received()[3].missing);
    // A payload gone before it was fetched changes nothing.
    RecordedMessage gone = Array(pump.code, "");
    gone.expired = true;
    group.Receive(gone, 3000);
    EXPECT_EQ(std::string("\x11\x00\x00\x00\xfa", 5), group.Outgoing().bytes);

    // A value message: the word, rounded to the nearest count; refused past max.
    const SignalMessage& motor = *rig.FindMessage("motor.speed");
    PanelGroup speed(rig, motor, kPages, nullptr);
    speed.Receive(Word(motor.code, 400), 0);
    EXPECT_EQ(400, speed.Outgoing().value);                       // the received, until set
    ASSERT_TRUE(speed.SetPhysical(motor.signals[0], 148.3, &error));
    EXPECT_EQ(593, speed.Outgoing().value);
    EXPECT_FALSE(speed.SetText(motor.signals[0], "3000.25", &error));
    EXPECT_NE(std::string::npos, error.find("above its max 3000 rpm")) << error;
    speed.Receive(Word(motor.code, 8), 0);
    EXPECT_EQ(593, speed.Outgoing().value);
    EXPECT_EQ(2, speed.Received()[0].physical);

    // Text in the message's encoding; GBK needs the encoder.
    const SignalMessage& text = *rig.FindMessage("rig.text");
    PanelGroup status(rig, text, kPages, nullptr);
    ASSERT_TRUE(status.SetText(text.signals[0], "READY", &error)) << error;
    EXPECT_EQ("READY", status.Outgoing().bytes);
    EXPECT_FALSE(status.SetText(text.signals[0], "\xe5\xb0\xb1\xe7\xbb\xaa", &error));
    EXPECT_EQ("READY", status.Outgoing().bytes);
    EXPECT_FALSE(status.SetText(motor.signals[0], "1", &error));   // another message's signal
}

TEST(PanelGroup, EverySendCountsItsCounterAndChecksOutFromTheInitValues)
{
    const SignalDatabase rig = Rig();
    const SignalMessage& status = *rig.FindMessage("motor.status");
    PanelGroup group(rig, status, kPages, nullptr);
    EXPECT_TRUE(group.StartError().empty());
    // current's init 0.4 A is raw 40; alive 0; the crc over bytes 0-2.
    EXPECT_EQ(std::string("\x28\x00\x00", 3), group.Outgoing().bytes.substr(0, 3));
    std::string error;
    ASSERT_TRUE(group.SetPhysical(*status.FindField("current"), 1.5, &error)) << error;
    MessageChecks monitor;
    for (int send = 0; send < 18; ++send) {
        SCOPED_TRACE(send);
        const RecordedMessage sent = group.Outgoing();
        ASSERT_EQ(4u, sent.bytes.size());
        EXPECT_EQ(send % 16, sent.bytes[2]);          // 0 to 15, then 0 again
        EXPECT_EQ(150, static_cast<uint8_t>(sent.bytes[0]));
        EXPECT_EQ("", FormatFaultMarks(monitor.Check(status, sent.value, sent.bytes)));
        group.Sent();
    }
    // What will be sent shows the counter and checksum the send carries.
    EXPECT_EQ(2, group.Sending()[1].raw);
    EXPECT_EQ(static_cast<uint8_t>(group.Outgoing().bytes[3]), group.Sending()[2].raw);
    // Neither is set by hand.
    EXPECT_FALSE(group.SetText(*status.FindField("alive"), "7", &error));
    EXPECT_NE(std::string::npos, error.find("motor.status.alive: a counter counts on every send, not set")) << error;
    EXPECT_FALSE(group.SetText(*status.FindField("crc"), "0", &error));
    EXPECT_NE(std::string::npos, error.find("motor.status.crc: a checksum is computed on every send, not set")) << error;

    // Another sender's message of the code: the panel counts on from it,
    // so a monitor sees no jump when the panel takes over; 15 wraps to 0.
    const RecordedMessage other = Array(status.code, std::string("\x00\x00\x0f\x00", 4));
    MessageChecks takeover;
    takeover.Check(status, 0, other.bytes);           // the first of its code sets the count
    group.Receive(other, 1000);
    EXPECT_EQ(0, group.Outgoing().bytes[2]);
    EXPECT_EQ("", FormatFaultMarks(takeover.Check(status, 0, group.Outgoing().bytes)));
    group.Sent();
    group.Receive(Array(status.code, std::string("\x00\x00\x09", 3)), 2000);   // short of the crc: still counted
    EXPECT_EQ(10, group.Outgoing().bytes[2]);
    group.Receive(Array(status.code, std::string("\x00\x00", 2)), 3000);        // short of the counter
    EXPECT_EQ(10, group.Outgoing().bytes[2]);

    // A value message starts from its init, as velkctl simulate does.
    const SignalDatabase stated = Value("enum = { 0 = \"OFF\", 5 = \"ON\" }\ninit = \"ON\"\n");
    PanelGroup on(stated, stated.Messages()[0], kPages, nullptr);
    EXPECT_EQ(5, on.Outgoing().value);
    PanelGroup motorState(rig, *rig.FindMessage("motor.state"), kPages, nullptr);
    EXPECT_EQ("STOPPED", *motorState.Sending()[0].enumName);
    // A value message that is its own counter counts too.
    const SignalDatabase alive = Value("counter = true\ninit = 254\nsigned = false\n");
    PanelGroup beat(alive, alive.Messages()[0], kPages, nullptr);
    EXPECT_EQ(254, beat.Outgoing().value);
    beat.Sent();
    EXPECT_EQ(255, beat.Outgoing().value);
}

TEST(PanelGroup, AGroupIsLateOnlyWhenSilentForMoreThanTwicePeriod)
{
    const SignalDatabase rig = Rig();
    PanelGroup pump(rig, *rig.FindMessage("pump.status"), kPages, nullptr);   // 200 ms
    EXPECT_FALSE(pump.Late(1400000, 1000000));                     // since the panel started
    EXPECT_TRUE(pump.Late(1400001, 1000000));
    pump.Receive(Array(0x30000401, "\x01"), 2000000);
    EXPECT_FALSE(pump.Late(2400000, 0));
    EXPECT_TRUE(pump.Late(2400001, 0));
    // Every gap over twice the period counts, though no refresh saw it late.
    pump.Receive(Array(0x30000401, "\x01"), 2400000);   // exactly twice: in time
    EXPECT_EQ(0u, pump.LateGapCount());
    pump.Receive(Array(0x30000401, "\x01"), 2800001);
    EXPECT_FALSE(pump.Late(2800001, 0));
    EXPECT_EQ(1u, pump.LateGapCount());
    PanelGroup text(rig, *rig.FindMessage("rig.text"), kPages, nullptr);   // no period
    EXPECT_FALSE(text.Late(INT64_MAX / 2, 0));

    // The mark a view shows: the gap marked for a second after it is seen, then only its count.
    LateMark mark;
    EXPECT_TRUE(mark.Update(pump, 2800001, 0));
    EXPECT_TRUE(mark.late);
    EXPECT_EQ("  ~1", mark.GapsText());
    EXPECT_FALSE(mark.Update(pump, 2800001 + LateMark::kGapShownMicros - 1, 0));
    for (int64_t at : { 3100000, 3400000, 3700000 })   // in time: no gap more
        pump.Receive(Array(0x30000401, "\x01"), at);
    EXPECT_TRUE(mark.Update(pump, 2800001 + LateMark::kGapShownMicros, 0));
    EXPECT_FALSE(mark.late);
    EXPECT_EQ("  ~1", mark.GapsText());
    EXPECT_EQ("", LateMark().GapsText());
}

TEST(PanelLayout, TabGoesDownEachColumnOnScreenNotInTheFilesOrder)
{
    int height = 0;
    // Two columns: the tall second box fills the right one, the rest flow down the left.
    EXPECT_EQ((std::vector<size_t>{ 0, 2, 3, 1 }), ColumnOrder(LayoutGroups({ 1, 5, 1, 1 }, 540, &height)));
    EXPECT_EQ((std::vector<size_t>{ 0, 1, 2, 3 }), ColumnOrder(LayoutGroups({ 1, 5, 1, 1 }, 530, &height)));
    EXPECT_TRUE(ColumnOrder(LayoutGroups({}, 540, &height)).empty());
    // A panel file's grid: row by row, left to right, ties in the file's order.
    PanelTab grid;
    for (const std::pair<int, int>& at : std::vector<std::pair<int, int>>{ { 2, 1 }, { 1, 3 }, { 1, 1 }, { 2, 2 }, { 1, 3 } }) {
        PanelWidget widget;
        widget.row = at.first;
        widget.col = at.second;
        grid.widgets.push_back(widget);
    }
    EXPECT_EQ((std::vector<size_t>{ 2, 1, 4, 0, 3 }), GridOrder(grid));
}

TEST(PanelLamp, ALampFollowsItsConditionOnEachMessageOfItsCode)
{
    const SignalDatabase rig = Rig();
    DatabaseResolver resolver(rig, kPages);
    struct Step { RecordedMessage message; bool on; bool changed; };
    Predicate valveOpen, fast;
    std::string error;
    ASSERT_TRUE(ParsePredicate("pump.status.valve == open", &resolver, &valveOpen, &error)) << error;
    ASSERT_TRUE(ParsePredicate("motor.speed > 2800", &resolver, &fast, &error)) << error;
    PanelLamp valve(valveOpen, &resolver), speed(fast, &resolver);
    EXPECT_FALSE(valve.On());
    const Step steps[] = {
        { Array(0x30000401, "\x10"), true, true },
        { Word(0x20001001, 11204), true, false },          // another code: no change
        { Array(0x30000401, "\x12"), true, false },
        { Array(0x30000401, "\x02"), false, true },
        { Array(0x30000401, "\x10"), true, true },
        { Array(0x30000401, ""), false, true },            // too short to carry the valve
    };
    for (const Step& step : steps) {
        EXPECT_EQ(step.changed, valve.Receive(step.message));
        EXPECT_EQ(step.on, valve.On());
    }
    EXPECT_FALSE(speed.Receive(Word(0x20001001, 11200)));   // exactly 2800 rpm
    EXPECT_TRUE(speed.Receive(Word(0x20001001, 11201)));
    EXPECT_TRUE(speed.On());

    // The model hands every message to every lamp and its group.
    Panel panel = AutomaticPanel(rig);
    PanelWidget lamp;
    lamp.type = kWidgetLamp;
    lamp.when = valveOpen;
    panel.tabs[0].widgets.push_back(lamp);
    PanelModel model(rig, panel, kPages, nullptr);
    EXPECT_EQ(6u, model.GroupCount());
    model.Receive(Array(0x30000401, "\x10"), 5);
    EXPECT_TRUE(model.lampsChanged);
    EXPECT_TRUE(model.LampOf(0, panel.tabs[0].widgets.size() - 1)->On());
    EXPECT_EQ(nullptr, model.LampOf(0, 0));
    EXPECT_TRUE(model.Group(static_cast<size_t>(model.GroupOfCode(0x30000401))).Heard());
    EXPECT_EQ(0x00001600u, model.SubscriptionMask());   // A/D, string and array
}

TEST(CyclicSchedule, EachEntryKeepsItsOwnDeadlinesAndSkipsWhatItMissed)
{
    CyclicSchedule schedule;
    std::vector<size_t> due;
    EXPECT_EQ(CyclicSchedule::kNever, schedule.NextDeadline());
    schedule.Start(3, 10000, 1000);
    schedule.Start(0, 25000, 2000);
    schedule.TakeDue(1999, &due);
    EXPECT_EQ((std::vector<size_t>{ 3 }), due);                  // due at once when started
    schedule.TakeDue(2000, &due);
    EXPECT_EQ((std::vector<size_t>{ 0 }), due);
    EXPECT_EQ(11000u, schedule.NextDeadline());
    schedule.TakeDue(10999, &due);
    EXPECT_TRUE(due.empty());
    schedule.TakeDue(11000, &due);
    EXPECT_EQ((std::vector<size_t>{ 3 }), due);
    // Late by two periods: sent once, the next one keeps its place.
    schedule.TakeDue(38000, &due);
    EXPECT_EQ((std::vector<size_t>{ 0, 3 }), due);
    EXPECT_EQ(1u, schedule.Missed());                            // 3's deadline at 21000
    EXPECT_EQ(41000u, schedule.NextDeadline());
    schedule.Stop(3);
    EXPECT_FALSE(schedule.Running(3));
    EXPECT_EQ(52000u, schedule.NextDeadline());
    schedule.Start(0, 5000, 40000);                              // a new period counts from now
    schedule.TakeDue(44999, &due);
    EXPECT_EQ((std::vector<size_t>{ 0 }), due);
    EXPECT_EQ(45000u, schedule.NextDeadline());
    schedule.StopAll();
    EXPECT_EQ(CyclicSchedule::kNever, schedule.NextDeadline());
}

TEST(PanelOptions, TheCommandLineTakesFilesAndABusOrSaysWhatIsWrong)
{
    PanelOptions options;
    std::string error;
    ASSERT_TRUE(ParsePanelArguments({ "--signals=rig \xe5\x8f\xb0.toml", "--panel", "p.toml", "--bus", "b" }, &options, &error));
    EXPECT_EQ("rig \xe5\x8f\xb0.toml", options.signalsFile);
    EXPECT_EQ("p.toml", options.panelFile);
    EXPECT_EQ("b", options.busName);
    EXPECT_FALSE(options.help);
    ASSERT_TRUE(ParsePanelArguments({ "/?" }, &options, &error));
    EXPECT_TRUE(options.help);
    struct Case { std::vector<std::string> args; const char* error; };
    const Case cases[] = {
        { { "--signal", "x" }, "unknown argument '--signal'" },
        { { "rig.toml" }, "unknown argument 'rig.toml'" },
        { { "--panel" }, "--panel needs a value" },
        { { "--signals=" }, "--signals needs a file" },
        { { "--bus", "" }, "--bus needs a name" },
    };
    for (const Case& test : cases) {
        PanelOptions fresh;
        EXPECT_FALSE(ParsePanelArguments(test.args, &fresh, &error));
        EXPECT_EQ(test.error, error);
    }
}

} // namespace

// A period of 0 stops an entry rather than running it without end.
TEST(CyclicSchedule, APeriodOfZeroStopsTheEntry)
{
    CyclicSchedule schedule;
    schedule.Start(1, 10000, 0);
    schedule.Start(1, 0, 5000);
    EXPECT_FALSE(schedule.Running(1));
    EXPECT_EQ(CyclicSchedule::kNever, schedule.NextDeadline());
    std::vector<size_t> due;
    schedule.TakeDue(20000, &due);
    EXPECT_TRUE(due.empty());
}
