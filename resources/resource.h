// Resource ids shared by the resource script and the code.
#pragma once

#define IDR_MAINFRAME 128
#define IDR_STYLESHEET 140

// The scan progress dialog and its animation.
#define IDD_SCAN_PROGRESS 105
#define IDR_SCAN_ANIMATION 133
#define IDC_SCAN_PROGRESS 1000
#define IDC_SCAN_ICON 1001
#define IDC_SCAN_TEXT 1002
#define IDC_SCAN_STATUS 1003
#define IDC_SCAN_ANIMATION 1004

// The report file dialog; its Help button has the system's id IDHELP (9).
#define IDD_SELECT_REPORT_FILE 138
#define IDC_REPORT_FILE_NAME 1005
#define IDC_REPORT_FILE_BROWSE 1007
