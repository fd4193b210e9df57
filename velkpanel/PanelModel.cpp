#include "velkpanel/PanelModel.h"

PanelModel::PanelModel(const SignalDatabase& database, const Panel& panel, const SignalCodePages& pages,
                       TextEncoder gbk)
    : database_(database), panel_(panel), resolver_(database, pages)
{
    auto add = [&](const SignalMessage* message) {
        if (message != nullptr && GroupOf(message) < 0) {
            byMessage_[message] = groups_.size();
            groups_.emplace_back(new PanelGroup(database, *message, pages, gbk));
        }
    };
    for (const PanelTab& tab : panel.tabs) {
        lamps_.emplace_back();
        for (const PanelWidget& widget : tab.widgets) {
            add(widget.message);
            lamps_.back().emplace_back(widget.type == kWidgetLamp ? new PanelLamp(widget.when, &resolver_) : nullptr);
        }
    }
    for (const PanelSend& send : panel.sends)
        add(send.message);
}

int PanelModel::GroupOf(const SignalMessage* message) const
{
    auto found = byMessage_.find(message);
    return found == byMessage_.end() ? -1 : static_cast<int>(found->second);
}

int PanelModel::GroupOfCode(uint32_t code) const
{
    return GroupOf(database_.FindCode(code));
}

const PanelLamp* PanelModel::LampOf(size_t tab, size_t widget) const
{
    return tab < lamps_.size() && widget < lamps_[tab].size() ? lamps_[tab][widget].get() : nullptr;
}

void PanelModel::Receive(const RecordedMessage& message, int64_t micros)
{
    const int group = GroupOfCode(message.code);
    if (group >= 0)
        groups_[static_cast<size_t>(group)]->Receive(message, micros);
    for (auto& tab : lamps_) {
        for (auto& lamp : tab) {
            if (lamp != nullptr && lamp->Receive(message))
                lampsChanged = true;
        }
    }
}

uint32_t PanelModel::SubscriptionMask() const
{
    uint32_t mask = 0;
    for (const auto& group : groups_)
        mask |= group->Message().code & kAllTypeBits;
    for (const PanelTab& tab : panel_.tabs) {
        for (const PanelWidget& widget : tab.widgets) {
            if (widget.type != kWidgetLamp)
                continue;
            const CodePattern& pattern = widget.when.pattern;
            // A pattern that leaves type bits open may match any type.
            mask |= (pattern.mask & kAllTypeBits) == kAllTypeBits ? pattern.code & kAllTypeBits : kAllTypeBits;
        }
    }
    return mask;
}
