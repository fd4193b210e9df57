// The panel a signal file makes by itself: a group per message, in the
// file's order, a control per signal as ChooseControl picks it
// (velkpanel/PanelControls.h). Pure logic.
#pragma once
#include "signals/SignalDatabase.h"
#include "velkpanel/PanelControls.h"
#include "velkpanel/PanelFile.h"

// One tab whose widgets run message by message (a message without signals
// has none); a number without a slider is a spin box.
Panel AutomaticPanel(const SignalDatabase& database);

// The widget type of a control kind.
PanelWidgetType WidgetTypeOf(PanelControlKind kind);
