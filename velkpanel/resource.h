// Resource and control ids of velkpanel. Used by the .rc file and the C++ code.
#pragma once

// Dialog template, icon, menu
#define IDD_PANEL               200
#define IDR_PANEL_ICON          128
#define IDR_PANEL_MENU          129

// Menu commands
#define IDM_OPEN_SIGNALS        3001   // File > Open signals...
#define IDM_OPEN_PANEL          3002   // File > Open panel...

// Controls of the panel window
#define IDC_TABS                2001   // the panel file's tabs: tab control
#define IDC_STATUS              2002   // the status line
#define IDC_FIRST_PAGE          2100   // a page per tab, scrolling its controls

// The controls made for a panel: kFirstWidgetId + widget x kWidgetIds + part,
// kFirstGroupId + group x kGroupIds + part (velkpanel/PanelView.h).
#define IDC_FIRST_WIDGET        10000
#define IDC_FIRST_GROUP         20000

#ifndef IDC_STATIC
#define IDC_STATIC              (-1)
#endif
