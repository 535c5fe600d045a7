// Resource identifiers of the control panel.
#pragma once

#define IDD_ABOUTBOX            100
#define IDS_ABOUTBOX            101
#define IDD_NORVANE_DIALOG      102
#define IDR_HTML_OPTIONS        104
#define IDI_NORVANE             128
#define IDB_BANNER              137
#define IDR_HTML_HELP           138
#define IDR_HTML_WHITELIST      139
#define IDR_HTML_STATISTICS     140
#define IDR_TRAY_MENU           144
#define IDC_BANNER              1000
#define IDC_NOTICE              1001
#define ID_TRAY_CONFIGURATION   32771
#define ID_TRAY_ENABLE          32773
#define ID_TRAY_EXIT            32774
#define IDM_ABOUTBOX            0x0010

#ifndef IDC_STATIC
#define IDC_STATIC              (-1)
#endif
