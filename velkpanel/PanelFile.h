// The panel file: a test station's panel laid out by hand, in TOML, read
// strictly as signal files are (every mistake at FILE:LINE:COLUMN, in the
// file's order; nothing is started by a bad file). Pure logic: the caller
// reads the files and shows the errors.
//
//   [panel]
//   title = "泵站 Pump bench"            # optional: the window's title
//   signals = "rig.toml"                # optional: the signal file, beside this one
//
//   [[panel.tab]]
//   name = "电机 Motor"
//
//   [[panel.tab.widget]]
//   type = "slider"                     # slider spin dropdown toggle button lamp bar value text
//   signal = "motor.speed"
//   label = "转速 Speed"                 # optional: the signal's name
//   row = 1                             # from 1, top to bottom
//   col = 1                             # from 1, left to right
//   span = 2                            # optional: columns taken, default 1
//   ranges = [ { from = 2800, colour = "red" } ]   # optional: the value's colour by range
//
//   [[panel.send]]                      # sent cyclically while the panel is open
//   message = "motor.state"
//   period = "500ms"                    # optional: the message's own period
//
// By type, besides type, label, row, col and span:
//   slider   signal (a number with min and max), ranges
//   spin     signal (a number), ranges
//   dropdown signal (with an enum)
//   toggle   signal (a number, bool or enum); on, off (default raw 1 and 0:
//            their enum names, true and false for a bool)
//   button   signal; press (sent on press), release (optional: sent on release)
//   lamp     when (a condition in the expect grammar), colour (default green)
//   bar      signal (a number), min and max (default the signal's), ranges
//   value    signal, ranges
//   text     signal (a string message or a str field)
// A counter or a checksum is written by every send: only lamp, bar and
// value widgets may show it.
// Values (on, off, press, release) are what velkctl post takes: a number,
// an enum's name, true or false, or a text for a text signal; each is
// checked with the signal's encoder when the file is read. Colours are
// names (red green blue yellow orange grey black white) or "#rrggbb".
#pragma once
#include <stdint.h>
#include <string>
#include <vector>

#include "formats/Predicate.h"
#include "signals/SignalDatabase.h"

enum {
    kMaxPanelErrors = 50,
    kMaxPanelTabs = 32,
    kMaxPanelWidgets = 1000,     // in all tabs: a few windows each, well within a process's share
    kMaxPanelRows = 200,
    kMaxPanelColumns = 12,
    kMaxPanelSends = 256,
    kMaxPanelFileBytes = 1 << 20,
};

enum PanelWidgetType { kWidgetSlider, kWidgetSpin, kWidgetDropdown, kWidgetToggle, kWidgetButton, kWidgetLamp,
                       kWidgetBar, kWidgetValue, kWidgetText };

// The file's word for a type ("slider").
const char* PanelWidgetTypeName(PanelWidgetType type);

// A value's colour while it lies in [from, to] (an end not given: open).
struct PanelRange {
    bool hasFrom = false, hasTo = false;
    double from = 0, to = 0;
    uint32_t rgb = 0;           // 0xRRGGBB
};

struct PanelWidget {
    PanelWidgetType type = kWidgetValue;
    std::string label;          // UTF-8
    int row = 1, col = 1, span = 1;
    const SignalMessage* message = nullptr;   // every type but lamp
    const Signal* signal = nullptr;
    Predicate when = {};        // lamp
    uint32_t rgb = 0x20c020;    // lamp: its colour when on
    std::string press, release, on, off;      // as the encoder takes them
    bool hasRelease = false;
    double min = 0, max = 0;    // bar
    std::vector<PanelRange> ranges;
    int line = 0, column = 0;   // where the file states it
};

struct PanelTab {
    std::string name;
    std::vector<PanelWidget> widgets;   // in the file's order (Tab visits them by GridOrder)
    int rows = 0, columns = 0;          // the grid the widgets take
};

struct PanelSend {
    const SignalMessage* message = nullptr;
    uint64_t periodMicros = 0;
};

struct Panel {
    std::string title;
    std::vector<PanelTab> tabs;
    std::vector<PanelSend> sends;
};

// The signal file a panel file names ([panel] signals; empty when none),
// read without the rest of the file: the panel is checked against it.
// False with the file's mistakes in TOML itself or in that key.
bool ReadPanelSignalsKey(const std::string& text, const std::string& fileName, std::string* signalsFile,
                         std::vector<std::string>* errors);

// text: the file, fileName: its name in the messages; signals are looked up
// in database, which must outlive *panel. On success *panel holds the file;
// otherwise *panel is untouched and *errors holds one "FILE:LINE:COLUMN:
// what is wrong" a mistake, in the file's order, at most kMaxPanelErrors
// and then a line saying more were left out. Never throws.
bool LoadPanelFile(const std::string& text, const std::string& fileName, const SignalDatabase& database,
                   Panel* panel, std::vector<std::string>* errors);
