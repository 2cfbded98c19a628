// Identifiers shared by the resource script and the code: menu commands,
// strings, the About dialog and its controls, and the icons. Plain defines,
// because the resource compiler reads this file too.
#pragma once

// Menu, strings and window class.
#define IDC_MAINMENU 109
#define IDS_APP_TITLE 103
#define IDS_WINDOW_CLASS 109
#define IDC_ACCELERATORS 109  // asked for by the message loop; no such table exists

// Icons.
#define IDI_MAIN 107
#define IDI_SMALL 108

// About dialog and its two filled-in lines.
#define IDD_ABOUTBOX 103
#define IDC_ABOUT_LIBRARY 1001
#define IDC_ABOUT_HINT 1002

// Menu commands.
#define IDM_ABOUT 1
#define IDM_COM1 11  // COM1..COM12 are IDM_COM1 + port index
#define IDM_COM12 22
#define IDM_BAUD_BASE 24  // baud entry n is IDM_BAUD_BASE + n
#define IDM_BAUD_9600 29
#define IDM_BAUD_LAST 33
#define IDM_EXIT 61
#define IDM_ONLINE 62
#define IDM_OFFLINE 63
#define IDM_HELP 301
#define IDM_HOME_OPTION1 401
#define IDM_HOME_OPTION2 402
#define IDM_READ_HOME 403   // reads the controller's home setting back
#define IDM_PORT_BASE 2000  // ports above COM12 in the Port menu: IDM_PORT_BASE + port index
#define IDM_PORT_LAST 2255

// Timer of the 100 ms receive poll.
#define IDT_POLL 1
