// Resource, menu and control identifiers of the main window and the report window, shared with
// the .rc file and the UI test.
#pragma once

#define IDI_APP 1

#define IDM_EXIT 40001    // mnExit
#define IDM_ABOUT 40002   // mnAbout
#define IDM_OPEN 40003    // the open dialog for the workbook
#define IDM_REPORT 40004  // the report window

#define IDC_TXFILE 1001
#define IDC_TXFROM 1002
#define IDC_TXTO 1003
#define IDC_CMDGEN 1004
#define IDC_LBSTATUS 1005

#define REPORT_WINDOW_CLASS L"DrumloReport"
#define IDC_REPORT_TEXT 1101
#define IDC_REPORT_SAVE 1102
