#pragma once
// Resource numbers and control ids. Used by the resource script and the code alike.

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_MAINDIALOG 102
#define IDS_NOTE 146
#define IDD_CONVERTPROGRESS 254

#define IDI_MAINFRAME 128
#define IDI_REGIONCURSOR 130

// Built-in cursors offered for recording.
#define IDI_CURSOR_HAND1 177
#define IDI_CURSOR_HAND2 178
#define IDI_CURSOR_ARROW1 179
#define IDI_CURSOR_ARROW2 180
#define IDI_CURSOR_POINT1 181
#define IDI_CURSOR_POINT2 182

// Main window buttons.
#define IDC_RECORD 1000
#define IDC_PAUSE 1001
#define IDC_STOP 1002

// Recording completion: the progress window's bar and the Play button it enables.
#define IDC_PLAY 1078
#define IDC_CONVERTPROGRESS_BAR 1082
