// Resource and control ids of velkscope. Used by the .rc file and the C++ code.
#pragma once

// Dialog template, icon
#define IDD_SCOPE               200
#define IDR_SCOPE_ICON          128
#define IDR_SCOPE_MENU          129

// Menu commands
#define IDM_OPEN_SIGNALS        3001   // File > Open signals...

// Controls of the scope window
#define IDC_CODES               2001   // the codes seen: list view with check boxes
#define IDC_CHART               2002   // the strip chart (CChartView)
#define IDC_WINDOW_LABEL        2003
#define IDC_WINDOW              2004   // time window: combo box
#define IDC_PAUSE               2005
#define IDC_CLEAR_CHART         2006
#define IDC_FIX_SCALE           2007
#define IDC_SAVE_PNG            2008
#define IDC_SAVE_CSV            2009
#define IDC_STATUS              2010

#ifndef IDC_STATIC
#define IDC_STATIC              (-1)
#endif
