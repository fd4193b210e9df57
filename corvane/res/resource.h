// Resource and control ids of corvane. Used by the .rc file and the C++ code.
#pragma once

// Dialog templates, icon, strings
#define IDD_ABOUTBOX            100
#define IDS_ABOUTBOX            101
#define IDD_CORVANE_DIALOG      102
#define IDR_MAINFRAME           128

// System-menu command of the About box
#define IDM_ABOUTBOX            0x0010

// Controls of the main dialog
#define IDC_VALUE               1001
#define IDC_SEND                1002
#define IDC_CHANNEL             1018
#define IDC_SEND_STR            1019
#define IDC_SEND_ARR            1020
#define IDC_DIR                 1021
#define IDC_TYPE                1022
#define IDC_STRING              1023
#define IDC_ARRAY               1024
#define IDC_CLEAR               1028
#define IDC_DEP                 1029
#define IDC_ADC                 1030
#define IDC_WTC                 1031
#define IDC_CNT                 1032
#define IDC_TMR                 1033
#define IDC_STOPALL             1034
#define IDC_VARINFO             1036
#define IDC_HANDLEINFO          1037
#define IDC_REFRESH             1039
#define IDC_VAR_INDEX           1040
#define IDC_VAR_VALUE           1041
#define IDC_MODIFY              1042
#define IDC_STR                 1043
#define IDC_ARR                 1044
#define IDC_CTL                 1045
#define IDC_ABS                 1046
#define IDC_LOG                 1048
#define IDC_INFO                1052
#define IDC_END_SESSION         1053

#ifndef IDC_STATIC
#define IDC_STATIC              (-1)
#endif
