// What a panel's controls ask for, carried out: a signal set on its
// message's group, the message posted on the bus, cyclic sends started,
// stopped and sent when the ticker wakes the window. A refusal says why on
// the status line.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <string>

#include <windows.h>

#include "client/BusBinding.h"
#include "velkpanel/PanelFile.h"
#include "velkpanel/PanelModel.h"
#include "velkpanel/PanelStatus.h"
#include "velkpanel/PanelTicker.h"
#include "velkpanel/PanelView.h"

class PanelSender : public PanelActions {
public:
    // Its clock counts from startTicks (windows/Clock.h); the others outlive it.
    PanelSender(const BusBinding& bus, uint64_t startTicks, PanelCounts* counts, PanelStatus* status);

    // The window it posts from and the ticker that wakes it; null: gone.
    void Attach(HWND window, PanelTicker* ticker);
    // The panel shown now (null: none), its model made from it.
    void SetModel(PanelModel* model, const Panel* panel);
    // The panel file's [[panel.send]] list, once attached to a ticker.
    void StartSends();
    // The ticker's wake-up: what is due goes out, each once.
    void SendDue();

    bool Set(size_t group, const Signal& signal, const std::string& text) override;
    bool SetPhysical(size_t group, const Signal& signal, double physical) override;
    bool Send(size_t group) override;
    bool SetCyclic(size_t group, bool on, const std::string& period) override;

private:
    bool Post(size_t group, bool say);
    void ScheduleTick();
    uint64_t Now() const;

    const BusBinding& bus_;
    uint64_t startTicks_;
    PanelCounts* counts_;
    PanelStatus* status_;
    HWND window_ = nullptr;
    PanelTicker* ticker_ = nullptr;
    PanelModel* model_ = nullptr;
    const Panel* panel_ = nullptr;
};
