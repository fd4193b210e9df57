// Resource and control ids of velkscope. Used by the .rc file and the C++ code.
#pragma once

// Dialog templates, icon, menu
#define IDD_SCOPE               200
#define IDD_VALUE               201
#define IDD_USAGE               202
#define IDR_SCOPE_ICON          128
#define IDR_SCOPE_MENU          129

// Menu commands: File 30xx, Edit 31xx, View 32xx
#define IDM_OPEN_SIGNALS        3001   // File > Open signals...
#define IDM_OPEN_RECORDING      3002
#define IDM_CLOSE_RECORDINGS    3003
#define IDM_OPEN_WORKSPACE      3004
#define IDM_SAVE_WORKSPACE      3005
#define IDM_SAVE_RECORDING      3006
#define IDM_EXPORT_PNG          3007
#define IDM_EXPORT_SVG          3008
#define IDM_EXPORT_CSV          3009
#define IDM_EXIT                3010
#define IDM_COPY_READOUT        3101
#define IDM_CLEAR_CURSORS       3102
#define IDM_SHOW_ALL            3201
#define IDM_NEW_PANE            3202
#define IDM_PANE_LIMITS         3203
#define IDM_AUTO_SCALE          3204
#define IDM_X_SELECTED          3205
#define IDM_X_TIME              3206
#define IDM_WALL_CLOCK          3207
#define IDM_TIME_OFFSET         3208

// Controls of the scope window
#define IDC_CODES               2001   // the codes seen: list view with check boxes
#define IDC_CHART               2002   // the panes (CChartView)
#define IDC_WINDOW_LABEL        2003
#define IDC_WINDOW              2004   // time window: combo box
#define IDC_PAUSE               2005
#define IDC_CLEAR_CHART         2006
#define IDC_FIX_SCALE           2007
#define IDC_SAVE_PNG            2008
#define IDC_SAVE_CSV            2009
#define IDC_STATUS              2010
#define IDC_OVERVIEW            2011   // the whole axis, the view marked (COverviewView)
#define IDC_READOUT             2012   // the cursors' readout: list view
#define IDC_PROGRESS            2013   // a recording's reading

// Controls of the value dialog
#define IDC_VALUE_LABEL         2101
#define IDC_VALUE_EDIT          2102

// Controls of the usage box
#define IDC_USAGE_TEXT          2201

#ifndef IDC_STATIC
#define IDC_STATIC              (-1)
#endif
