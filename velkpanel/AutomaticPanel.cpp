#include "velkpanel/AutomaticPanel.h"

#include "velkpanel/PanelControls.h"

PanelWidgetType WidgetTypeOf(PanelControlKind kind)
{
    switch (kind) {
    case kControlSlider: return kWidgetSlider;
    case kControlDropdown: return kWidgetDropdown;
    case kControlToggle: return kWidgetToggle;
    case kControlText: return kWidgetText;
    case kControlReadout: return kWidgetValue;
    case kControlNumber: break;
    }
    return kWidgetSpin;
}

Panel AutomaticPanel(const SignalDatabase& database)
{
    Panel panel;
    panel.tabs.emplace_back();
    PanelTab& tab = panel.tabs.back();
    for (const SignalMessage& message : database.Messages()) {
        for (const Signal& signal : message.signals) {
            PanelWidget widget;
            widget.type = WidgetTypeOf(ChooseControl(signal));
            widget.message = &message;
            widget.signal = &signal;
            widget.label = signal.fieldName.empty() ? signal.name : signal.fieldName;
            widget.on = ToggleValue(signal, true);
            widget.off = ToggleValue(signal, false);
            widget.row = static_cast<int>(tab.widgets.size()) + 1;
            tab.widgets.push_back(widget);
        }
    }
    tab.rows = static_cast<int>(tab.widgets.size());
    tab.columns = 1;
    return panel;
}
