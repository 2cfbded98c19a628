// The text screen as the window tests read it: rows as text without their
// trailing blanks, the cursor, and the grid's invariants after a hard run.
#pragma once

#include <cstddef>
#include <string>

#include "text_screen.h"

namespace ScreenCells {

constexpr int kRows = TextScreen::kRows;

inline std::string Row(int row) {
    std::string text(TextScreen::Row(row), TextScreen::kColumns);
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

inline int CursorRow() { return TextScreen::CursorRow(); }
inline int CursorCol() { return TextScreen::CursorCol(); }

// Empty when the grid is sound: the cursor inside it, every row one of the
// 25 blocks of the cells exactly once, every cell a 7-bit character.
inline std::string InvariantViolation() {
    if (CursorRow() < 0 || CursorRow() >= kRows) return "cursor row " + std::to_string(CursorRow());
    if (CursorCol() < 0 || CursorCol() >= TextScreen::kColumns)
        return "cursor column " + std::to_string(CursorCol());
    bool seen[kRows] = {};
    for (int row = 0; row < kRows; ++row) {
        std::ptrdiff_t offset = TextScreen::Row(row) - TextScreen::Cells();
        if (offset < 0 || offset % TextScreen::kColumns != 0 || offset / TextScreen::kColumns >= kRows)
            return "row " + std::to_string(row) + " points outside the cells";
        if (seen[offset / TextScreen::kColumns]) return "row " + std::to_string(row) + " shown twice";
        seen[offset / TextScreen::kColumns] = true;
    }
    for (int i = 0; i < kRows * TextScreen::kColumns; ++i)
        if (static_cast<unsigned char>(TextScreen::Cells()[i]) > 0x7F)
            return "cell " + std::to_string(i) + " above 0x7F";
    return "";
}

}  // namespace ScreenCells
