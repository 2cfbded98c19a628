// The menu commands of the main window, one function each. They run on the
// GUI thread inside WM_COMMAND and read and change the application state.
#pragma once

void ShowAboutBox();
void SelectPort(int port);       // 0..255 (the Port menu lists COM13 and up when present)
void SelectBaud(int baudEntry);  // 0..9
void ExitTool();
void GoOnLine();
void GoOffLine();
void ShowHelp();
void RunHomeOption(int option);  // 1 or 2, followed by the verdict on the replies
void ReadHomeSetting();
// The poll: shows what the open port received and writes a verdict that is due.
void PollPort();
