// The operator's instructions, written on the text screen by the Help command.
#pragma once

// Writes the 23 lines of help: the instructions, then 12 blank lines that
// push them up into the upper half of the screen.
void WriteHelpText();
