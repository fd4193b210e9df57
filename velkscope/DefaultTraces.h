// The traces velkscope ticks by itself when a recording opens and nothing
// chose any: of the codes in the order they first came, each one's drawn
// traces (counters and checksums left out: they say whether the messages
// came whole, not what the rig did), at most a few, one pane per unit.
// Pure logic.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "signals/SignalDatabase.h"

struct DefaultTrace {
    uint32_t code;
    size_t signal;   // kRawTrace or the signal's index in its message
    size_t pane;     // 0, 1, ...: one per unit, in the order the units first come
};

// signals: null for none. At most `most` traces and `panes` panes (a trace
// whose unit would need one more pane joins the last).
std::vector<DefaultTrace> ChooseDefaultTraces(const std::vector<uint32_t>& codes, const SignalDatabase* signals,
                                              size_t most, size_t panes);
