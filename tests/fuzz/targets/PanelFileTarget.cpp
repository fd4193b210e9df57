// A panel file from anyone, over the example rig: a refusal says where each
// mistake is, in the file's order; a panel taken keeps every widget on its
// grid (no two in one cell), every widget but a lamp on a signal of the
// file, every lamp's condition on a code, every send on a message with a
// period; and the signal file it names is read without the rest.
#include "tests/fuzz/FuzzTargets.h"

#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "signals/SignalFile.h"
#include "velkpanel/PanelFile.h"

namespace {

const char kRig[] =
    "[[message]]\ncode = \"20001001\"\nname = \"motor.speed\"\nperiod = \"100ms\"\nunit = \"rpm\"\nscale = 0.25\nmin = 0\nmax = 3000\n"
    "[[message]]\ncode = \"20001002\"\nname = \"motor.state\"\nperiod = \"500ms\"\n"
    "enum = { 0 = \"STOPPED\", 1 = \"STARTING\", 2 = \"RUNNING\", 3 = \"FAULT\" }\n"
    "[[message]]\ncode = \"30000401\"\nname = \"pump.status\"\nperiod = \"200ms\"\n"
    "[[message.field]]\nname = \"mode\"\nbyte = 0\nbits = 4\ntype = \"u8\"\nenum = { 0 = \"off\", 1 = \"manual\", 2 = \"auto\" }\n"
    "[[message.field]]\nname = \"valve\"\nbyte = 0\nbit = 4\ntype = \"bool\"\nenum = { 0 = \"closed\", 1 = \"open\" }\n"
    "[[message.field]]\nname = \"pressure\"\nbyte = 3\ntype = \"u16\"\nendian = \"big\"\nunit = \"bar\"\nscale = 0.01\nmax = 10\n"
    "[[message]]\ncode = \"30000201\"\nname = \"rig.text\"\n";

const SignalDatabase& Rig()
{
    static SignalDatabase database;
    static bool loaded = false;
    if (!loaded) {
        std::vector<std::string> errors;
        loaded = LoadSignalFile(kRig, "rig.toml", &database, &errors);
        FUZZ_CHECK(loaded);
    }
    return database;
}

// "p:LINE:COLUMN: what" with LINE and COLUMN from 1, or "p: what".
bool Placed(const std::string& error, uint64_t lines, uint64_t* line, uint64_t* column)
{
    *line = *column = 0;
    if (error.compare(0, 3, "p: ") == 0)
        return error.size() > 3;
    unsigned long long l = 0, c = 0;
    int used = 0;
    if (sscanf(error.c_str(), "p:%llu:%llu: %n", &l, &c, &used) != 2 || used == 0 || error.size() <= static_cast<size_t>(used))
        return false;
    *line = l;
    *column = c;
    return l >= 1 && l <= lines && c >= 1;
}

void CheckErrors(const std::vector<std::string>& errors, uint64_t lines)
{
    FUZZ_CHECK(!errors.empty());
    size_t placed = errors.size();
    if (errors.back() == "p: more errors left out (the first 50 are shown)") {
        FUZZ_CHECK(errors.size() == kMaxPanelErrors + 1);
        --placed;
    }
    FUZZ_CHECK(placed <= kMaxPanelErrors);
    uint64_t lastLine = 0, lastColumn = 0;
    for (size_t i = 0; i < placed; ++i) {
        uint64_t line, column;
        FUZZ_CHECK(Placed(errors[i], lines, &line, &column));
        FUZZ_CHECK(line > lastLine || (line == lastLine && column >= lastColumn));
        lastLine = line;
        lastColumn = column;
    }
}

} // namespace

void FuzzPanelFile(const uint8_t* data, size_t size)
{
    const std::string text = FuzzText(data, size);
    const uint64_t lines = static_cast<uint64_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    std::string signals;
    std::vector<std::string> errors;
    if (!ReadPanelSignalsKey(text, "p", &signals, &errors))
        CheckErrors(errors, lines);
    else
        FUZZ_CHECK(errors.empty());

    Panel panel;
    panel.title = "untouched";
    if (!LoadPanelFile(text, "p", Rig(), &panel, &errors)) {
        CheckErrors(errors, lines);
        FUZZ_CHECK(panel.title == "untouched" && panel.tabs.empty());
        return;
    }
    FUZZ_CHECK(errors.empty());
    size_t widgets = 0;
    for (const PanelTab& tab : panel.tabs) {
        FUZZ_CHECK(tab.rows <= kMaxPanelRows && tab.columns <= kMaxPanelColumns);
        for (size_t i = 0; i < tab.widgets.size(); ++i) {
            const PanelWidget& widget = tab.widgets[i];
            FUZZ_CHECK(widget.row >= 1 && widget.row <= tab.rows);
            FUZZ_CHECK(widget.col >= 1 && widget.span >= 1 && widget.col + widget.span - 1 <= tab.columns);
            if (widget.type == kWidgetLamp) {
                FUZZ_CHECK(widget.signal == nullptr);
                FUZZ_CHECK(widget.when.signal.empty() || Rig().FindSignal(widget.when.signal).signal != nullptr);
            } else {
                FUZZ_CHECK(widget.signal != nullptr && Rig().FindSignal(widget.signal->name).signal == widget.signal);
                FUZZ_CHECK(widget.message == Rig().FindSignal(widget.signal->name).message);
            }
            if (widget.type == kWidgetBar)
                FUZZ_CHECK(widget.max > widget.min);
            for (size_t j = 0; j < i; ++j) {
                const PanelWidget& other = tab.widgets[j];
                FUZZ_CHECK(other.row != widget.row || other.col + other.span <= widget.col || widget.col + widget.span <= other.col);
            }
        }
        widgets += tab.widgets.size();
    }
    FUZZ_CHECK(panel.tabs.size() <= kMaxPanelTabs && widgets <= kMaxPanelWidgets && panel.sends.size() <= kMaxPanelSends);
    for (const PanelSend& send : panel.sends)
        FUZZ_CHECK(send.message != nullptr && send.periodMicros > 0);
}
