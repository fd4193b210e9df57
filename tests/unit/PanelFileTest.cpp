// The panel file: the worked example loads against the example rig, and
// every mistake is named at its line and column, each bound at both ends.
#include <gtest/gtest.h>

#include "common/FormatText.h"
#include "signals/SignalFile.h"
#include "tests/FileBytes.h"
#include "velkpanel/PanelFile.h"

namespace {

SignalDatabase Rig()
{
    SignalDatabase database;
    std::vector<std::string> errors;
    EXPECT_TRUE(LoadSignalFile(ReadFileText(CORVANE_SIGNALS_EXAMPLE), "rig.toml", &database, &errors));
    return database;
}

std::vector<std::string> Load(const std::string& text, const SignalDatabase& database, Panel* panel)
{
    std::vector<std::string> errors;
    const bool loaded = LoadPanelFile(text, "p.toml", database, panel, &errors);
    EXPECT_EQ(loaded, errors.empty());
    return errors;
}

// A panel of one tab holding the widget tables given.
std::string Tab(const std::string& widgets)
{
    return "[panel]\n[[panel.tab]]\nname = \"t\"\n" + widgets;
}

std::string Widget(const std::string& keys)
{
    return "[[panel.tab.widget]]\n" + keys;
}

TEST(PanelFile, TheWorkedExampleLoadsAgainstTheExampleRig)
{
    const SignalDatabase rig = Rig();
    const std::string text = ReadFileText(CORVANE_PANEL_EXAMPLE);
    std::string signals;
    std::vector<std::string> errors;
    ASSERT_TRUE(ReadPanelSignalsKey(text, "panel.toml", &signals, &errors));
    EXPECT_EQ("signals-example.toml", signals);
    Panel panel;
    errors = Load(text, rig, &panel);
    ASSERT_TRUE(errors.empty()) << errors[0];
    EXPECT_EQ("\xe7\xa4\xba\xe4\xbe\x8b\xe5\x8f\xb0\xe6\x9e\xb6 Example rig", panel.title);
    ASSERT_EQ(2u, panel.tabs.size());
    const PanelTab& tab = panel.tabs[0];
    EXPECT_EQ(4, tab.rows);
    EXPECT_EQ(4, tab.columns);
    ASSERT_EQ(9u, tab.widgets.size());
    EXPECT_EQ(kWidgetSlider, tab.widgets[0].type);
    EXPECT_EQ(2, tab.widgets[0].span);
    EXPECT_EQ(0xe02020u, tab.widgets[0].ranges.at(0).rgb);
    EXPECT_EQ(kWidgetLamp, tab.widgets[2].type);
    EXPECT_EQ(0x20001002u, tab.widgets[2].when.pattern.code);
    EXPECT_EQ(3, tab.widgets[2].when.operand);                 // FAULT
    const PanelWidget& button = tab.widgets[4];
    EXPECT_EQ("open", button.press);
    EXPECT_TRUE(button.hasRelease);
    EXPECT_EQ("closed", button.release);
    EXPECT_EQ("pump.status.valve", button.signal->name);
    const PanelWidget& bar = tab.widgets[7];
    EXPECT_EQ(0, bar.min);                                      // given: the signal has none
    EXPECT_EQ(10, bar.max);                                     // the signal's
    ASSERT_EQ(3u, bar.ranges.size());
    EXPECT_FALSE(bar.ranges[0].hasFrom);
    EXPECT_EQ(2, bar.ranges[0].to);
    EXPECT_EQ("open", panel.tabs[1].widgets[1].on);             // a toggle's names by default
    ASSERT_EQ(1u, panel.sends.size());
    EXPECT_EQ(100000u, panel.sends[0].periodMicros);            // the message's own
}

TEST(PanelFile, EveryMistakeIsNamedAtItsLineAndColumn)
{
    const SignalDatabase rig = Rig();
    const std::string slider = "type = \"slider\"\nsignal = \"motor.speed\"\n";
    struct Case { std::string text; const char* error; };
    const Case cases[] = {
        { "[panel]\ntitel = \"x\"\n[[panel.tab]]\nname = \"t\"\n", "p.toml:2:1: unknown key 'titel' in [panel] (did you mean 'title'?)" },
        { "[panel\n", "TOML: " },
        { "", "p.toml: no [panel] in the file" },
        { "panel = 1\n", "p.toml:1:9: panel must be a table" },
        { "[panel]\ntitle = \"x\"\n", "p.toml:1:1: the panel needs a [[panel.tab]] of widgets" },
        { "[panel]\nsignals = \"\"\n[[panel.tab]]\nname = \"t\"\n", "p.toml:2:11: signals must be the signal file's name" },
        { "[panel]\n[[panel.tab]]\n", "p.toml:2:1: a tab needs name" },
        { Tab(Widget("signal = \"motor.speed\"\nrow = 1\ncol = 1\n")), "p.toml:4:1: a widget needs type" },
        { Tab(Widget("type = \"slidr\"\n")), "p.toml:5:8: unknown widget type 'slidr' (did you mean 'slider'?)" },
        { Tab(Widget(slider + "row = 1\n")), "p.toml:4:1: a widget needs row and col" },
        { Tab(Widget(slider + "row = 1\ncol = 1\nsignal2 = 1\n")), "p.toml:9:1: unknown key 'signal2' in a slider" },
        { Tab(Widget(slider + "row = 1\ncol = 1\npress = 1\n")), "p.toml:9:1: key 'press' does not fit a slider" },
        { Tab(Widget("type = \"slider\"\nsignal = \"motor.sped\"\nrow = 1\ncol = 1\n")),
          "p.toml:6:10: no signal 'motor.sped'; did you mean 'motor.speed'?" },
        { Tab(Widget("type = \"slider\"\nsignal = \"pump.status.pressure\"\nrow = 1\ncol = 1\n")),
          "p.toml:6:10: a slider needs a number with min and max, and no enum: pump.status.pressure is a number without min and max" },
        { Tab(Widget("type = \"dropdown\"\nsignal = \"motor.speed\"\nrow = 1\ncol = 1\n")),
          "p.toml:6:10: a dropdown needs an enum: motor.speed is a number" },
        { Tab(Widget("type = \"text\"\nsignal = \"motor.state\"\nrow = 1\ncol = 1\n")), "a text needs text" },
        { Tab(Widget("type = \"spin\"\nsignal = \"rig.text\"\nrow = 1\ncol = 1\n")), "a spin needs a number without an enum: rig.text is text" },
        { Tab(Widget("type = \"button\"\nsignal = \"motor.speed\"\nrow = 1\ncol = 1\n")), "p.toml:4:1: a button needs press" },
        { Tab(Widget("type = \"button\"\nsignal = \"motor.speed\"\nrow = 1\ncol = 1\npress = 3000.25\n")),
          "p.toml:9:9: press: motor.speed: 3000.25 rpm is above its max 3000 rpm" },
        { Tab(Widget("type = \"button\"\nsignal = \"motor.state\"\nrow = 1\ncol = 1\npress = \"RUNING\"\n")),
          "did you mean 'RUNNING'?" },
        { Tab(Widget("type = \"toggle\"\nsignal = \"pump.status.valve\"\nrow = 1\ncol = 1\non = [1]\n")),
          "p.toml:9:6: on must be a number, a name of the signal's enum, true or false, or a text" },
        { Tab(Widget("type = \"lamp\"\nrow = 1\ncol = 1\n")), "p.toml:4:1: a lamp needs when" },
        { Tab(Widget("type = \"lamp\"\nwhen = \"motor.state eq FALT\"\nrow = 1\ncol = 1\n")),
          "p.toml:6:8: when: at column 16: motor.state has no value named 'FALT'; did you mean 'FAULT'?" },
        { Tab(Widget("type = \"lamp\"\nwhen = \"motor.state eq FAULT\"\ncolour = \"pink\"\nrow = 1\ncol = 1\n")),
          "p.toml:7:10: unknown colour 'pink'" },
        { Tab(Widget("type = \"bar\"\nsignal = \"pump.status.pressure\"\nrow = 1\ncol = 1\n")),
          "p.toml:4:1: a bar needs min and max: pump.status.pressure has no min" },
        { Tab(Widget("type = \"bar\"\nsignal = \"motor.speed\"\nmin = 3000\nrow = 1\ncol = 1\n")),
          "p.toml:4:1: a bar's max 3000 must be above its min 3000" },
        { Tab(Widget(slider + "row = 1\ncol = 1\nranges = [ { from = 5, to = 4, colour = \"red\" } ]\n")),
          "p.toml:9:29: to 4 is below from 5" },
        { Tab(Widget(slider + "row = 1\ncol = 1\nranges = [ { from = 5 } ]\n")), "p.toml:9:12: a range needs colour" },
        { Tab(Widget(slider + "row = 1\ncol = 1\nranges = [ { from = 5, colour = \"#12345g\" } ]\n")),
          "p.toml:9:33: unknown colour '#12345g'" },
        { Tab(Widget(slider + "row = 1\ncol = 1\nranges = 5\n")), "p.toml:9:10: ranges must be a list" },
        { Tab(Widget(slider + "row = 1\ncol = 1\nlabel = \"a\\tb\"\n")), "p.toml:9:9: label must not hold control characters" },
        { "[panel]\ntitle = \"rig \xe2\x80\xae\"\n[[panel.tab]]\nname = \"t\"\n", "p.toml:2:9: title must not hold control characters" },
        { Tab(Widget(slider + "row = 2\ncol = 1\nspan = 2\n") + Widget("type = \"value\"\nsignal = \"motor.speed\"\nrow = 2\ncol = 2\n")),
          "p.toml:10:1: this widget takes row 2, col 2, which the widget at line 4 takes too" },
        { "[panel]\n[[panel.tab]]\nname = \"t\"\n[[panel.send]]\nmessage = \"rig.text\"\n",
          "p.toml:4:1: rig.text has no period in the signal file: give period" },
        { "[panel]\n[[panel.tab]]\nname = \"t\"\n[[panel.send]]\nmessage = \"motor\"\n",
          "p.toml:5:11: no message 'motor' in the signal file" },
        { "[panel]\n[[panel.tab]]\nname = \"t\"\n[[panel.send]]\nmessage = \"rig.text\"\nperiod = \"0ms\"\n",
          "p.toml:6:10: bad period" },
        { "[panel]\n[[panel.tab]]\nname = \"t\"\n[[panel.send]]\nmessage = \"motor.speed\"\n[[panel.send]]\nmessage = \"motor.speed\"\n",
          "p.toml:7:11: motor.speed is sent already (line 4)" },
        { "[panel]\ntab = 1\n", "p.toml:2:7: tab must be [[panel.tab]] tables" },
        // Each bound, just past it (just within it: the next test).
        { Tab(Widget(slider + "row = 0\ncol = 1\n")), "p.toml:7:7: row must be a whole number from 1 to 200" },
        { Tab(Widget(slider + "row = 201\ncol = 1\n")), "p.toml:7:7: row must be a whole number from 1 to 200" },
        { Tab(Widget(slider + "row = 1\ncol = 0\n")), "p.toml:8:7: col must be a whole number from 1 to 12" },
        { Tab(Widget(slider + "row = 1\ncol = 13\n")), "p.toml:8:7: col must be a whole number from 1 to 12" },
        { Tab(Widget(slider + "row = 1\ncol = 11\nspan = 3\n")), "p.toml:9:8: span must be a whole number from 1 to 2" },
        { Tab(Widget(slider + "row = 1\ncol = 1\nspan = 0\n")), "p.toml:9:8: span must be a whole number from 1 to 12" },
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.text);
        Panel panel;
        panel.title = "untouched";
        const std::vector<std::string> errors = Load(test.text, rig, &panel);
        ASSERT_FALSE(errors.empty());
        EXPECT_NE(std::string::npos, errors[0].find(test.error)) << errors[0];
        EXPECT_EQ("untouched", panel.title);
    }
}

// A lamp's comparison must be able to change with its signal: each side of
// the raw range, a bool's and a scaled signed field's.
TEST(PanelFile, ALampComparesWithinItsSignalsRange)
{
    const SignalDatabase rig = Rig();
    const auto lamp = [](const std::string& when) {
        return Tab(Widget("type = \"lamp\"\nwhen = \"" + when + "\"\nrow = 1\ncol = 1\n"));
    };
    for (const char* when : { "pump.status.valve eq 1", "pump.status.valve == 0", "pump.status.valve ge 1",
                              "pump.status.valve le 0", "pump.status.valve ne 1", "pump.status.temperature le -204.8",
                              "pump.status.temperature gt 204.65", "motor.state eq FAULT" }) {
        Panel panel;
        const std::vector<std::string> errors = Load(lamp(when), rig, &panel);
        EXPECT_TRUE(errors.empty()) << when << ": " << errors[0];
    }
    const struct { const char* when; const char* error; } refused[] = {
        { "pump.status.valve == 2", "p.toml:6:8: when: pump.status.valve takes 0 to 1: pump.status.valve eq 2 never holds" },
        { "pump.status.valve eq -1", "takes 0 to 1: pump.status.valve eq -1 never holds" },
        { "pump.status.valve gt 1", "pump.status.valve gt 1 never holds" },
        { "pump.status.valve lt 0", "pump.status.valve lt 0 never holds" },
        { "pump.status.valve ne 2", "pump.status.valve ne 2 always holds" },
        { "pump.status.temperature lt -204.8",
          "pump.status.temperature takes -204.8 to 204.7: pump.status.temperature lt -204.8 never holds" },
        { "pump.status.temperature ge 204.75", "pump.status.temperature ge 204.75 never holds" },
    };
    for (const auto& test : refused) {
        Panel panel;
        const std::vector<std::string> errors = Load(lamp(test.when), rig, &panel);
        ASSERT_FALSE(errors.empty()) << test.when;
        EXPECT_NE(std::string::npos, errors[0].find(test.error)) << errors[0];
    }
}

TEST(PanelFile, ACounterOrAChecksumIsShownNeverSet)
{
    const SignalDatabase rig = Rig();
    for (const char* type : { "slider", "spin", "dropdown", "toggle", "button", "text" }) {
        SCOPED_TRACE(type);
        Panel panel;
        const std::vector<std::string> errors =
            Load(Tab(Widget(FormatText("type = \"%s\"\nsignal = \"motor.status.alive\"\nrow = 1\ncol = 1\n", type))), rig, &panel);
        ASSERT_EQ(1u, errors.size());
        EXPECT_EQ(FormatText("p.toml:6:10: a %s sets its signal, but motor.status.alive is a counter, one more on every "
                             "send: show it with a value or a bar", type),
                  errors[0]);
    }
    Panel panel;
    std::vector<std::string> errors =
        Load(Tab(Widget("type = \"spin\"\nsignal = \"motor.status.crc\"\nrow = 1\ncol = 1\n")), rig, &panel);
    ASSERT_EQ(1u, errors.size());
    EXPECT_NE(std::string::npos, errors[0].find("p.toml:6:10: a spin sets its signal, but motor.status.crc is a checksum, "
                                                "computed on every send")) << errors[0];
    errors = Load(Tab(Widget("type = \"value\"\nsignal = \"motor.status.crc\"\nrow = 1\ncol = 1\n") +
                      Widget("type = \"bar\"\nsignal = \"motor.status.alive\"\nmin = 0\nmax = 15\nrow = 1\ncol = 2\n")),
                  rig, &panel);
    EXPECT_TRUE(errors.empty()) << errors[0];
}

TEST(PanelFile, EachBoundHoldsUpToItsLimit)
{
    const SignalDatabase rig = Rig();
    const std::string value = "type = \"value\"\nsignal = \"motor.speed\"\n";
    Panel panel;
    EXPECT_TRUE(Load(Tab(Widget(value + "row = 200\ncol = 12\n") + Widget(value + "row = 1\ncol = 1\nspan = 12\n") +
                         Widget(value + "row = 2\ncol = 11\nspan = 2\n")), rig, &panel).empty());
    EXPECT_EQ(200, panel.tabs[0].rows);
    EXPECT_EQ(12, panel.tabs[0].columns);

    // Tabs, widgets of a tab, sends: at the most, and one more (of as many
    // messages, each sent once).
    std::string messages;
    for (int i = 0; i <= kMaxPanelSends; ++i)
        messages += FormatText("[[message]]\ncode = \"%x\"\nname = \"m%d\"\nperiod = \"1s\"\n",
                               0x20001000 + (i / 256) * 0x1000 + i % 256, i);
    SignalDatabase many;
    std::vector<std::string> errors;
    ASSERT_TRUE(LoadSignalFile(messages, "many.toml", &many, &errors)) << errors[0];
    struct Count { const char* what; int most; const char* error; };
    const Count counts[] = {
        { "tabs", kMaxPanelTabs, "more than 32 [[panel.tab]]" },
        { "widgets", kMaxPanelWidgets, "more than 1000 widgets in the panel" },
        { "sends", kMaxPanelSends, "more than 256 [[panel.send]]" },
    };
    for (const Count& count : counts) {
        for (int n : { count.most, count.most + 1 }) {
            SCOPED_TRACE(FormatText("%d %s", n, count.what));
            std::string text = "[panel]\n";
            const std::string what = count.what;
            for (int i = 0; i < (what == "tabs" ? n : 1); ++i)
                text += "[[panel.tab]]\nname = \"t\"\n";
            // Widgets in two tabs: the bound is the panel's.
            for (int i = 0; what == "widgets" && i < n; ++i)
                text += (i == n / 2 ? "[[panel.tab]]\nname = \"u\"\n" : "") +
                        Widget(value + FormatText("row = %d\ncol = %d\n", i / 12 + 1, i % 12 + 1));
            for (int i = 0; what == "sends" && i < n; ++i)
                text += FormatText("[[panel.send]]\nmessage = \"m%d\"\n", i);
            errors = Load(text, what == "sends" ? many : rig, &panel);
            if (n == count.most) {
                EXPECT_TRUE(errors.empty()) << errors[0];
            } else {
                ASSERT_EQ(1u, errors.size());
                EXPECT_NE(std::string::npos, errors[0].find(count.error)) << errors[0];
            }
        }
    }
    // At most 50 mistakes, then one line says more were left out.
    std::string wrong = "[panel]\n[[panel.tab]]\nname = \"t\"\n";
    for (int i = 0; i < 60; ++i)
        wrong += Widget("type = \"nope\"\n");
    errors = Load(wrong, rig, &panel);
    ASSERT_EQ(static_cast<size_t>(kMaxPanelErrors) + 1, errors.size());
    EXPECT_EQ("p.toml: more errors left out (the first 50 are shown)", errors.back());
    EXPECT_EQ(0u, errors[49].find("p.toml:103:8: unknown widget type 'nope'")) << errors[49];
    // toml++ hands keys over sorted: the 50 kept are still the first 50 in the file.
    wrong = "[panel]\n";
    for (int i = kMaxPanelErrors; i >= 0; --i)   // k50 on line 2, k0 on line 52
        wrong += "k" + std::to_string(i) + " = 1\n";
    errors = Load(wrong + "[[panel.tab]]\nname = \"t\"\n" + Widget("type = \"value\"\nsignal = \"motor.speed\"\nrow = 1\ncol = 1\n"), rig, &panel);
    ASSERT_EQ(static_cast<size_t>(kMaxPanelErrors) + 1, errors.size());
    EXPECT_EQ(0u, errors[0].find("p.toml:2:1: unknown key 'k50'")) << errors[0];
    EXPECT_EQ(0u, errors[49].find("p.toml:51:1: unknown key 'k1'")) << errors[49];
}

} // namespace

// The file's size up to its bound and one byte past; a range of one value.
TEST(PanelFile, TheFileHoldsUpToItsSizeAndARangeMayBeOneValue)
{
    const SignalDatabase rig = Rig();
    const std::string panel = Tab(Widget("type = \"value\"\nsignal = \"motor.speed\"\nrow = 1\ncol = 1\n"));
    const std::string full = panel + "#" + std::string(kMaxPanelFileBytes - panel.size() - 2, 'x') + "\n";
    ASSERT_EQ(static_cast<size_t>(kMaxPanelFileBytes), full.size());
    Panel loaded;
    EXPECT_TRUE(Load(full, rig, &loaded).empty());
    const std::vector<std::string> errors = Load(full + "\n", rig, &loaded);
    ASSERT_EQ(1u, errors.size());
    EXPECT_EQ(0u, errors[0].find("p.toml")) << errors[0];
    EXPECT_NE(std::string::npos, errors[0].find("over 1048576 bytes, the most a panel file may hold")) << errors[0];
    // A range's to may equal its from: a single value.
    EXPECT_TRUE(Load(Tab(Widget("type = \"value\"\nsignal = \"motor.speed\"\nrow = 1\ncol = 1\n"
                                "ranges = [ { from = 5, to = 5, colour = \"red\" } ]\n")), rig, &loaded).empty());
}
