// When record --trigger fires: on the message its predicate becomes true
// on, not again until a message of its codes on which it does not hold;
// with --level on every message it holds on. Pure logic.
#pragma once
#include <stdint.h>

#include "formats/MessageFilter.h"

class TriggerEdge {
public:
    TriggerEdge(const CodePattern& codes, bool level) : codes_(codes), level_(level) {}

    // Each message in order, holds: the predicate held on it. Messages of
    // other codes leave the trigger as it was; the first message of its
    // codes fires when the predicate holds on it.
    bool Fires(uint32_t code, bool holds);

private:
    CodePattern codes_;
    bool level_;
    bool held_ = false;   // on the last message of its codes
};
