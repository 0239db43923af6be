// Resource and control ids of the converter program.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#define IDD_OPEN_HINT 101
#define IDD_MAIN 102
#define IDD_PROGRESS 133
#define IDD_PUBLISH 146
#define IDD_ABOUT 147
#define IDR_MAIN_MENU 133
#define IDI_MAIN 128
#define IDB_LOGO 147
#define IDB_LOGO_2X 148  // the logo drawn at twice its size, for 200 %

// The main window's own window class, named by its dialog template: other
// copies find the window by class and title, and a dialog or an Explorer
// window that merely carries the title is not taken for it.
#define MAIN_WINDOW_CLASS "TervanoMainWindow"

// main window
#define IDC_ADD_FILES 1000
#define IDC_FILE_LIST 1001
#define IDC_RESET 1002
#define IDC_READY_COUNT 1003
#define IDC_URL_CHECK 1008
#define IDC_LOOP_FOREVER 1009
#define IDC_CHANGE_LOOP 1014
#define IDC_KEEP_LOOP 1015
#define IDC_CONVERT 1016
#define IDC_URL_TEXT 1026
#define IDC_PLAY_COUNT 1027
#define IDC_PLAY_LABEL 1037
#define IDC_TIMES_LABEL 1038
#define ID_EXIT 32775
#define ID_ABOUT 32774
#define ID_DESTINATION 32776
#define ID_SAVE_AS 32778
#define ID_PUBLISH_SETTINGS 32779
#define ID_HELP_TOPICS 32780

// publish settings
#define IDC_BACKGROUND 1005
#define IDC_BORDER 1006
#define IDC_HTML 1007
#define IDC_FULL_MENU 1008
#define IDC_CANVAS 1009
#define IDC_PROTECT 1010

// about box
#define IDC_LOGO 1030

// progress window
#define IDC_FILE_BAR 1019
#define IDC_FRAME_BAR 1020
#define IDC_STATUS 1025

// the hint strip of the open-file dialog
#define IDC_OPEN_HINT 2001  // clear of the standard dialog's ids
