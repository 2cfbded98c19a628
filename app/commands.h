// The menu commands of the main window, one function each. They run on the
// GUI thread inside WM_COMMAND and read and change the application state.
#pragma once

void ShowAboutBox();
void SelectPort(int port);       // 0..11
void SelectBaud(int baudEntry);  // 0..9
void ExitTool();
void GoOnLine();
void GoOffLine();
void ShowHelp();
void RunHomeOption(int option);  // 1 or 2
