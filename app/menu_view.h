// What the window shows of the connection: the title text and the menu marks
// (Off Line or On Line checked, the chosen port and baud checked, the Port and
// Baud items greyed while on-line so that they cannot change under an open
// port).
#pragma once

#include <windows.h>

// The command id of a port's item: IDM_COM1 + index for COM1..COM12,
// IDM_PORT_BASE + index above.
int PortCommandId(int port);
// Called as a pop-up opens. For the Port pop-up it rebuilds the part below
// COM12 from the serial-port map: a separator and every other port present
// now, checked and greyed like COM1..COM12.
void PrepareMenu(HMENU popup);

// Start-up marks: Off Line, the selected port and the selected baud entry.
void ShowStartMarks();
// The port or baud check mark moves from one item to another.
void MoveCheckMark(int oldId, int newId);
// On-line title with the port number and rate; On Line checked; Port and
// Baud items greyed.
void ShowOnline();
// Off-line title; Off Line checked; Port and Baud items enabled.
void ShowOffline();
