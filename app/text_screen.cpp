// The text screen's grid, cursor and repaint arithmetic. Rows are pointers
// into fixed cells, so a scroll rotates 25 pointers and blanks one row; each
// write tracks the cells it changed (its dirty region) and invalidates just
// those, then paints them at once.
#include "text_screen.h"

#include <string.h>

#include "home_sequence.h"
#include "sio.h"

namespace TextScreen {

WindowCalls windowCalls;

namespace {

constexpr char kBlank = ' ';
constexpr int kLastRow = kRows - 1;

HWND window;
int charWidth;
int charHeight;
TEXTMETRICA metrics;
char cells[kRows * kColumns];
char* rows[kRows];
int cursorRow;
int cursorCol;
// The dirty region of the write in progress: the row it began on and the
// first and last columns that may have changed on any row from there on.
int dirtyRow;
int dirtyFirstCol;
int dirtyLastCol;
bool scrolledDuringWrite;
int runSpacing[kColumns];  // every entry charWidth: each character sits on its column

void StartDirtyRegion() {
    dirtyRow = cursorRow;
    dirtyFirstCol = cursorCol;
    dirtyLastCol = cursorCol;
}

// Invalidates (with erase) the cells from firstCol to lastCol on the rows
// from topRow to bottomRow.
void InvalidateCells(int firstCol, int topRow, int lastCol, int bottomRow) {
    RECT area{charWidth * firstCol, charHeight * topRow, charWidth * (lastCol + 1),
              charHeight * (bottomRow + 1)};
    windowCalls.InvalidateRect(window, &area, TRUE);
}

void ScrollUp() {
    cursorRow = kLastRow;
    char* leaving = rows[0];
    memmove(rows, rows + 1, kLastRow * sizeof rows[0]);
    rows[kLastRow] = leaving;
    memset(leaving, kBlank, kColumns);

    windowCalls.ScrollWindow(window, 0, -charHeight, nullptr, nullptr);
    // The rows this write changed have just moved up one row without having
    // been painted; the system carries earlier invalidations along with the
    // scroll, but these were never invalidated.
    int firstMovedRow = dirtyRow > 0 ? dirtyRow - 1 : 0;
    InvalidateCells(0, firstMovedRow, dirtyLastCol, kLastRow - 1);
    StartDirtyRegion();
    scrolledDuringWrite = true;
}

void Backspace() {
    if (cursorCol == 0) return;
    rows[cursorRow][cursorCol] = kBlank;  // the cell under the cursor, not the one to its left
    --cursorCol;
    if (cursorCol < dirtyFirstCol) dirtyFirstCol = cursorCol;
}

void CarriageReturn() {
    cursorCol = 0;
    dirtyFirstCol = 0;
}

void LineFeed() {
    if (++cursorRow == kRows) ScrollUp();
    CarriageReturn();
}

void Store(char ch) {
    rows[cursorRow][cursorCol] = ch;
    if (++cursorCol < kColumns) {
        ++dirtyLastCol;
        return;
    }
    CarriageReturn();
    if (++cursorRow == kRows) ScrollUp();
}

void Put(char ch) {
    switch (ch) {
        case '\b': Backspace(); break;
        case '\n': LineFeed(); break;
        case '\r': CarriageReturn(); break;
        default: Store(ch); break;
    }
}

// The widest advance among the printable characters: the stock OEM font may
// be a stand-in whose characters advance by far less than tmMaxCharWidth.
int MeasureCharWidth(HDC dc) {
    INT advances['~' - ' ' + 1];
    if (!GetCharWidth32A(dc, ' ', '~', advances)) return metrics.tmMaxCharWidth;
    int widest = 0;
    for (INT advance : advances)
        if (advance > widest) widest = advance;
    return widest > 0 ? widest : metrics.tmMaxCharWidth;
}

// First and last of count cells of the given size that meet [low, high).
int FirstCellMeeting(int low, int size) { return low <= 0 ? 0 : low / size; }
int LastCellMeeting(int high, int size, int count) {
    if (high <= 0) return -1;
    int last = (high - 1) / size;
    return last < count ? last : count - 1;
}

}  // namespace

void Construct(HWND screenWindow) {
    window = screenWindow;
    HDC dc = GetDC(window);
    HGDIOBJ previous = SelectFont(dc);
    GetTextMetricsA(dc, &metrics);
    charHeight = metrics.tmHeight + metrics.tmExternalLeading;
    charWidth = MeasureCharWidth(dc);
    SelectObject(dc, previous);
    ReleaseDC(window, dc);
    for (int& advance : runSpacing) advance = charWidth;
    Clear();
}

void Clear() {
    memset(cells, kBlank, sizeof cells);
    for (int row = 0; row < kRows; ++row) rows[row] = cells + static_cast<ptrdiff_t>(row) * kColumns;
    cursorRow = 0;
    cursorCol = 0;
}

void WriteChars(const char* data, int count) {
    StartDirtyRegion();
    if (count <= 0 || data == nullptr) return;
    scrolledDuringWrite = false;
    for (int i = 0; i < count; ++i) Put(static_cast<char>(data[i] & 0x7F));

    bool unchanged = dirtyRow == cursorRow && dirtyFirstCol == cursorCol && dirtyLastCol == cursorCol;
    if (!unchanged) InvalidateCells(dirtyFirstCol, dirtyRow, dirtyLastCol, cursorRow);
    // A scroll leaves an uncovered strip to paint even when the last row is untouched.
    if (!unchanged || scrolledDuringWrite) windowCalls.UpdateWindow(window);
}

void WriteLine(const char* text) {
    // cppcheck-suppress lstrlenACalled ; the screen measures with the system's call on purpose
    WriteChars(text, text ? lstrlenA(text) : 0);
    WriteChars("\n", 1);
}

void Paint(HDC dc, const RECT& update) {
    if (charWidth <= 0 || charHeight <= 0) return;  // not constructed yet
    int firstRow = FirstCellMeeting(update.top, charHeight);
    int lastRow = LastCellMeeting(update.bottom, charHeight, kRows);
    int firstCol = FirstCellMeeting(update.left, charWidth);
    int lastCol = LastCellMeeting(update.right, charWidth, kColumns);
    if (firstCol > lastCol) return;
    for (int row = firstRow; row <= lastRow; ++row) {
        RECT band{update.left, charHeight * row, update.right, charHeight * (row + 1)};
        SetBkMode(dc, OPAQUE);
        ExtTextOutA(dc, firstCol * charWidth, band.top, ETO_OPAQUE | ETO_CLIPPED, &band, rows[row] + firstCol,
                    static_cast<UINT>(lastCol - firstCol + 1), runSpacing);
    }
}

HGDIOBJ SelectFont(HDC dc) { return SelectObject(dc, GetStockObject(OEM_FIXED_FONT)); }

const char* Cells() { return cells; }
const char* Row(int row) { return row >= 0 && row < kRows ? rows[row] : nullptr; }
int CursorRow() { return cursorRow; }
int CursorCol() { return cursorCol; }
int CharWidth() { return charWidth; }
int CharHeight() { return charHeight; }
const TEXTMETRICA& Metrics() { return metrics; }

}  // namespace TextScreen

namespace {
void SleepMs(unsigned milliseconds) { ::Sleep(milliseconds); }
}  // namespace

// The home sequence's outputs in the tool: this screen, the system's sleep
// and the library's block write.
HomeSequenceIo ProductHomeIo() { return {TextScreen::WriteLine, SleepMs, SioWriteBlock}; }
