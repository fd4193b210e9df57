// A panel at work: a group per message its widgets or sends name (what it
// will send, what was received), its lamps, its cyclic sends. The window
// shows it and hands it what the bus brings and what the controls say.
// Pure logic.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <memory>
#include <unordered_map>
#include <vector>

#include "formats/RecordLine.h"
#include "signals/DatabaseResolver.h"
#include "velkpanel/CyclicSchedule.h"
#include "velkpanel/PanelFile.h"
#include "velkpanel/PanelGroup.h"
#include "velkpanel/PanelLamp.h"

class PanelModel {
public:
    // database and panel must outlive the model.
    PanelModel(const SignalDatabase& database, const Panel& panel, const SignalCodePages& pages, TextEncoder gbk);

    const Panel& Definition() const { return panel_; }
    size_t GroupCount() const { return groups_.size(); }
    PanelGroup& Group(size_t index) { return *groups_[index]; }
    const PanelGroup& Group(size_t index) const { return *groups_[index]; }
    // The group of a message (-1: the panel does not name it).
    int GroupOf(const SignalMessage* message) const;
    int GroupOfCode(uint32_t code) const;
    // A lamp widget's lamp; null for any other widget.
    const PanelLamp* LampOf(size_t tab, size_t widget) const;

    // A message from the bus at micros: its group's received values and
    // the lamps that look at its code.
    void Receive(const RecordedMessage& message, int64_t micros);
    // Set when a lamp turned on or off; a view clears it once it has shown them.
    bool lampsChanged = false;

    // The type bits of every code the panel shows or lamps look at, as the
    // window registers with.
    uint32_t SubscriptionMask() const;

    // The cyclic sends, by group index.
    CyclicSchedule& Cyclic() { return cyclic_; }

private:
    const SignalDatabase& database_;
    const Panel& panel_;
    DatabaseResolver resolver_;
    std::vector<std::unique_ptr<PanelGroup>> groups_;
    std::unordered_map<const SignalMessage*, size_t> byMessage_;
    std::vector<std::vector<std::unique_ptr<PanelLamp>>> lamps_;   // per tab, per widget
    CyclicSchedule cyclic_;
};
