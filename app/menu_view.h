// What the window shows of the connection: the title text and the menu marks
// (Off Line or On Line checked, the chosen port and baud checked, the Port and
// Baud items greyed while on-line so that they cannot change under an open
// port).
#pragma once

// Start-up marks: Off Line, the selected port and the selected baud entry.
void ShowStartMarks();
// The port or baud check mark moves from one item to another.
void MoveCheckMark(int oldId, int newId);
// On-line title with the port number and rate; On Line checked; Port and
// Baud items greyed.
void ShowOnline();
// Off-line title; Off Line checked; Port and Baud items enabled.
void ShowOffline();
