// Text screen in a real window: the grid rules; what each write repaints
// (the window calls are intercepted and played against a model of what the
// window shows); a long random run against a plain grid model; and pixels,
// proving that characters sit exactly on their columns.
#include <gtest/gtest.h>

#include <string.h>

#include <random>
#include <string>
#include <vector>

#include "screen_cells.h"
#include "test_window.h"
#include "text_screen.h"

using namespace TextScreen;

namespace {

void PaintScreen(HDC dc, const RECT& update) {
    SelectFont(dc);
    Paint(dc, update);
}

void Write(const std::string& bytes) { WriteChars(bytes.data(), static_cast<int>(bytes.size())); }
std::string RowText(int row) { return std::string(Row(row), kColumns); }
std::string Padded(std::string text) {
    text.resize(kColumns, ' ');
    return text;
}
void MoveToLastRow() { Write(std::string(kRows - 1, '\n')); }
std::string Describe(const RECT& area) {
    return std::to_string(area.left) + "," + std::to_string(area.top) + " - " + std::to_string(area.right) +
           "," + std::to_string(area.bottom);
}

class GuiTextScreen : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(window.handle(), nullptr);
        Construct(window.handle());
    }
    TestWindow window{640, 400, false, PaintScreen};
};

// What the window shows, cell by cell, driven the way the system drives it:
// an invalidation marks cells, a scroll moves the shown cells and the marks
// up one row and leaves the last row stale and marked, and UpdateWindow
// paints the marked cells.
struct Display {
    char shown[kRows][kColumns];
    bool marked[kRows][kColumns];
    std::vector<RECT> invalidated;
    int updates;
    int scrolls;
};
Display display;

BOOL WINAPI ModelInvalidate(HWND, const RECT* area, BOOL erase) {
    EXPECT_TRUE(erase);
    display.invalidated.push_back(*area);
    for (int row = 0; row < kRows; ++row)
        for (int col = 0; col < kColumns; ++col)
            if (col * CharWidth() < area->right && (col + 1) * CharWidth() > area->left &&
                row * CharHeight() < area->bottom && (row + 1) * CharHeight() > area->top)
                display.marked[row][col] = true;
    return TRUE;
}

BOOL WINAPI ModelScroll(HWND, int dx, int dy, const RECT* scroll, const RECT* clip) {
    EXPECT_EQ(dx, 0);
    EXPECT_EQ(dy, -CharHeight());
    EXPECT_EQ(scroll, nullptr);
    EXPECT_EQ(clip, nullptr);
    memmove(display.shown[0], display.shown[1], sizeof display.shown[0] * (kRows - 1));
    memmove(display.marked[0], display.marked[1], sizeof display.marked[0] * (kRows - 1));
    memset(display.shown[kRows - 1], '\x80', kColumns);  // never a stored (7-bit) cell
    memset(display.marked[kRows - 1], 1, kColumns);
    ++display.scrolls;
    return TRUE;
}

BOOL WINAPI ModelUpdate(HWND) {
    for (int row = 0; row < kRows; ++row)
        for (int col = 0; col < kColumns; ++col)
            if (display.marked[row][col]) display.shown[row][col] = Row(row)[col];
    memset(display.marked, 0, sizeof display.marked);
    ++display.updates;
    return TRUE;
}

class ModelledRepaint {
public:
    ModelledRepaint() {
        windowCalls = {ModelInvalidate, ModelUpdate, ModelScroll};
        Reset();
    }
    ~ModelledRepaint() { windowCalls = saved_; }
    // The window shows the grid as it is now, with nothing marked.
    void Reset() {
        for (int row = 0; row < kRows; ++row) memcpy(display.shown[row], Row(row), kColumns);
        memset(display.marked, 0, sizeof display.marked);
        display.invalidated.clear();
        display.updates = display.scrolls = 0;
    }
    static ::testing::AssertionResult ShowsGrid() {
        for (int row = 0; row < kRows; ++row)
            for (int col = 0; col < kColumns; ++col)
                if (display.shown[row][col] != Row(row)[col])
                    return ::testing::AssertionFailure() << "cell " << row << "," << col << " not repainted";
        return ::testing::AssertionSuccess();
    }

private:
    WindowCalls saved_ = windowCalls;
};

struct GridCase {
    const char* name;
    bool fromLastRow;  // "top" on row 0, then the cursor moved to row 24
    std::vector<std::string> writes;
    std::vector<std::pair<int, std::string>> rows;
    int cursorRow;
    int cursorCol;
};

const GridCase kGridCases[] = {
    {"80 chars wrap, the 81st starts the next row",
     false,
     {std::string(80, 'a'), "b"},
     {{0, std::string(80, 'a')}, {1, "b"}},
     1,
     1},
    {"line feed on row 24 scrolls", true, {"bottom", "\n"}, {{0, ""}, {23, "bottom"}, {24, ""}}, 24, 0},
    {"wrap on row 24 scrolls",
     true,
     {std::string(80, 'z'), "q"},
     {{23, std::string(80, 'z')}, {24, "q"}},
     24,
     1},
    {"carriage return", false, {"abc\rX"}, {{0, "Xbc"}}, 0, 1},
    {"backspace blanks the cell under the cursor", false, {"abc\b"}, {{0, "abc"}}, 0, 2},
    {"write after backspace", false, {"abc\b", "Z"}, {{0, "abZ"}}, 0, 3},
    {"two backspaces in one write", false, {"abc\b\bZ"}, {{0, "aZ"}}, 0, 2},
    {"backspace at column 0 does nothing", false, {"\b\b"}, {{0, ""}}, 0, 0},
    {"top bit dropped", false, {"\x8A", "\x0A", "\xC1"}, {{0, ""}, {1, ""}, {2, "A"}}, 2, 1},
    {"other controls are stored", false, {"\x07\x9B"}, {{0, "\x07\x1B"}}, 0, 2},
};

TEST_F(GuiTextScreen, ConstructMeasuresTheFontAndClears) {
    HDC dc = GetDC(window.handle());
    SelectFont(dc);
    SIZE extent;
    GetTextExtentPoint32A(dc, "abcdefghij", 10, &extent);
    ReleaseDC(window.handle(), dc);
    EXPECT_EQ(CharWidth() * 10, extent.cx);  // the width characters really advance by
    EXPECT_EQ(CharHeight(), Metrics().tmHeight + Metrics().tmExternalLeading);
    EXPECT_EQ(std::string(Cells(), kRows * kColumns), std::string(kRows * kColumns, ' '));
    EXPECT_EQ(CursorRow(), 0);
    EXPECT_EQ(CursorCol(), 0);
}

TEST_F(GuiTextScreen, GridRules) {
    for (const GridCase& test : kGridCases) {
        SCOPED_TRACE(test.name);
        Clear();
        if (test.fromLastRow) {
            Write("top");
            MoveToLastRow();
        }
        for (const std::string& bytes : test.writes) Write(bytes);
        for (const auto& [row, text] : test.rows) EXPECT_EQ(RowText(row), Padded(text)) << "row " << row;
        EXPECT_EQ(CursorRow(), test.cursorRow);
        EXPECT_EQ(CursorCol(), test.cursorCol);
    }
}

TEST_F(GuiTextScreen, WriteLineEndsTheLine) {
    WriteLine(" ");
    EXPECT_EQ(RowText(0), Padded(" "));
    WriteLine("\n\nX\n");
    EXPECT_EQ(RowText(1), Padded(""));
    EXPECT_EQ(RowText(2), Padded(""));
    EXPECT_EQ(RowText(3), Padded("X"));
    EXPECT_EQ(RowText(4), Padded(""));
    EXPECT_EQ(CursorRow(), 5);
    EXPECT_EQ(CursorCol(), 0);
}

TEST_F(GuiTextScreen, EmptyWritesRepaintNothing) {
    ModelledRepaint repaint;
    WriteChars("abc", 0);
    WriteChars("abc", -5);
    WriteChars(nullptr, 3);
    EXPECT_TRUE(display.invalidated.empty());
    EXPECT_EQ(display.updates + display.scrolls, 0);
    EXPECT_EQ(RowText(0), Padded(""));
}

TEST_F(GuiTextScreen, RepaintRectanglesFollowTheCellArithmetic) {
    ModelledRepaint repaint;
    const int w = CharWidth(), h = CharHeight();
    Write("\n\n     ");
    repaint.Reset();
    Write("x");  // row 2, column 5: the cell and the cursor's
    ASSERT_EQ(display.invalidated.size(), 1u);
    EXPECT_EQ(Describe(display.invalidated[0]), Describe(RECT{5 * w, 2 * h, 7 * w, 3 * h}));
    EXPECT_EQ(display.updates, 1);

    MoveToLastRow();
    repaint.Reset();
    Write("abc\n");  // the row that scrolled up, then the new last row
    ASSERT_EQ(display.invalidated.size(), 2u);
    EXPECT_EQ(Describe(display.invalidated[0]), Describe(RECT{0, 23 * h, 4 * w, 24 * h}));
    EXPECT_EQ(Describe(display.invalidated[1]), Describe(RECT{0, 24 * h, 4 * w, 25 * h}));
    EXPECT_EQ(display.scrolls, 1);
}

// The grid as plainly as it can be said: a list of rows that drops its first.
struct GridModel {
    std::vector<std::string> rows = std::vector<std::string>(kRows, std::string(kColumns, ' '));
    int row = 0;
    int col = 0;
    void NextRow() {
        col = 0;
        if (++row < kRows) return;
        rows.erase(rows.begin());
        rows.emplace_back(kColumns, ' ');
        row = kRows - 1;
    }
    void Put(unsigned char byte) {
        char ch = static_cast<char>(byte & 0x7F);
        if (ch == '\b') {
            if (col > 0) rows[row][col--] = ' ';
        } else if (ch == '\n') {
            NextRow();
        } else if (ch == '\r') {
            col = 0;
        } else {
            rows[row][col] = ch;
            if (++col == kColumns) NextRow();
        }
    }
};

TEST_F(GuiTextScreen, RandomWritesKeepInvariantsAndMatchAPlainModel) {
    ModelledRepaint repaint;
    GridModel model;
    std::mt19937 random(20261208);
    const unsigned char controls[] = {8, 10, 13, 0x88, 0x8A, 0x8D};
    long total = 0;
    for (int writes = 1; total < 100000; ++writes) {
        if (writes % 64 == 0) {  // now and then start from the top again, so writes begin above row 24
            Clear();
            model = GridModel();
            repaint.Reset();
        }
        int count = static_cast<int>(random() % 260) - 10;  // a few empty and negative counts
        std::string bytes(count > 0 ? count : 0, '\0');
        for (char& byte : bytes)
            byte = static_cast<char>(random() % 4 == 0 ? controls[random() % 6] : random() % 256);
        WriteChars(bytes.data(), count);
        for (char byte : bytes) model.Put(static_cast<unsigned char>(byte));
        total += static_cast<long>(bytes.size());

        ASSERT_EQ(ScreenCells::InvariantViolation(), "");
        ASSERT_EQ(CursorRow(), model.row);
        ASSERT_EQ(CursorCol(), model.col);
        for (int row = 0; row < kRows; ++row) ASSERT_EQ(RowText(row), model.rows[row]) << "row " << row;
        ASSERT_TRUE(ModelledRepaint::ShowsGrid()) << "after " << total << " bytes";
    }
}

// Pixels: what the writes painted one by one is what a full repaint draws,
// which paints each row as one run (so "def", painted as a run of its own
// from column 3, sits exactly where it would in one write), and rows hold
// glyphs, not just background.
TEST_F(GuiTextScreen, IncrementalRepaintsLeaveWhatAFullRepaintDraws) {
    TestWindow shown(640, 400, true, PaintScreen);
    Construct(shown.handle());
    Write(std::string(21, '\n'));
    Write("a1\nb2\nc3\nd4\ne5\nf6");  // rows written before a scroll move up unpainted
    Write(std::string(170, 'm') + "\r\b\bx\nabc");
    Write("def");
    TestWindow::PumpMessages();
    const int width = kColumns * CharWidth(), height = kRows * CharHeight();
    Canvas incremental(width, height), full(width, height);
    shown.CaptureInto(incremental);
    InvalidateRect(shown.handle(), nullptr, TRUE);
    UpdateWindow(shown.handle());
    shown.CaptureInto(full);
    int ink = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            ASSERT_EQ(incremental.Pixel(x, y), full.Pixel(x, y)) << "x " << x << " y " << y;
            ink += full.Pixel(x, y) != full.Pixel(0, 0);
        }
    EXPECT_GT(ink, 6 * 4);
}

}  // namespace
