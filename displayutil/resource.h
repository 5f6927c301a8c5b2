// Resource and control identifiers of the display utility.
#ifndef RESOURCE_H
#define RESOURCE_H

// Dialogs
#define IDD_SETTINGS_PAGE 101
#define IDD_VERSION 116
#define IDD_TEST_MODE 118
#define IDD_RESTART_QUESTION 120

// Icon group: 32 x 32 and 16 x 16, 16 colours
#define IDI_DISPLAY_UTILITY 119

// Bitmaps
#define IDB_COLOR_BAR 102
#define IDB_MONITOR_DESKTOP 103     // monitor picture 0, also the layout's size reference
#define IDB_MONITOR_LOGO 123        // monitor picture 1
#define IDB_ARROW_IMAGE_FIRST 107   // + direction: left, up, right, down
#define IDB_ARROW_LEFT 107
#define IDB_ARROW_UP 108
#define IDB_ARROW_RIGHT 109
#define IDB_ARROW_DOWN 110
#define IDB_ARROW_MASK_FIRST 111    // + direction
#define IDB_ARROW_MASK_LEFT 111
#define IDB_ARROW_MASK_UP 112
#define IDB_ARROW_MASK_RIGHT 113
#define IDB_ARROW_MASK_DOWN 114

// Controls of the page
#define IDC_COLOR_DEPTH 1000
#define IDC_REFRESH_RATE 1001
#define IDC_DESKTOP_AREA 1002
#define IDC_AREA_TEXT 1003
#define IDC_MONITOR_PICTURE 1004
#define IDC_ARROW_UP 1006
#define IDC_ARROW_RIGHT 1007
#define IDC_ARROW_LEFT 1008
#define IDC_ARROW_DOWN 1009
#define IDC_DIRECT3D_GROUP 1020
#define IDC_DIRECT3D_COLOR 1021

// The command that opens the version dialog (no control of the page carries it)
#define IDC_SHOW_VERSION 1012

// Version dialog
#define IDC_VERSION_TEXT 1010
#define IDC_NOTICE_TEXT 1011

// Confirmation and restart dialogs
#define IDC_SWITCH_NOW 1014
#define IDC_QUESTION_ICON 1015
#define IDC_RESTART_NOW 1016

#endif
