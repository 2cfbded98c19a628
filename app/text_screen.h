// The tool's only output surface: an 80 x 25 grid of 7-bit characters shown
// in the main window like a simple teletype. Writes repaint at once
// (InvalidateRect + UpdateWindow), so progress lines appear even while a
// command blocks the GUI thread; painting draws one run per row.
#pragma once

#include <windows.h>

namespace TextScreen {

constexpr int kRows = 25;
constexpr int kColumns = 80;

// Runs once, at the main window's first message: keeps the window, reads the
// OEM fixed font's cell size and clears the grid.
void Construct(HWND window);
// Blanks every cell and homes the cursor; does not repaint.
void Clear();
// Writes count bytes (nothing at all for count <= 0) and repaints what changed.
void WriteChars(const char* data, int count);
// The text followed by a line feed, as two writes.
void WriteLine(const char* text);
// Draws the cells that meet update into dc; the caller has begun painting.
void Paint(HDC dc, const RECT& update);
// Selects the screen's font into dc and returns the object it replaced.
HGDIOBJ SelectFont(HDC dc);

// Read-only views for the window's caret and for tests.
const char* Cells();       // the 2000 cells in storage order
const char* Row(int row);  // the 80 cells shown in row 0..24
int CursorRow();
int CursorCol();
int CharWidth();   // pixels every character advances by
int CharHeight();  // pixels from one row to the next
const TEXTMETRICA& Metrics();

// The window calls that repaint, kept in one place so tests can watch or
// replace them; they start as the real functions.
struct WindowCalls {
    decltype(&::InvalidateRect) InvalidateRect = ::InvalidateRect;
    decltype(&::UpdateWindow) UpdateWindow = ::UpdateWindow;
    decltype(&::ScrollWindow) ScrollWindow = ::ScrollWindow;
};
extern WindowCalls windowCalls;

}  // namespace TextScreen
