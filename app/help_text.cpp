// The help text, line by line as the screen shows it. The trailing blank
// lines leave the instructions on rows 1..11 when the screen is full.
#include "help_text.h"

#include "text_screen.h"

namespace {

const char kRule[] =
    "================================================================== ";  // 66 '=' and a space

const char* const kInstructions[] = {
    " ",
    "Vantoro(TM) \"home\" Configuration Tool ",
    " ",
    kRule,
    "1. Choose your Com port: e.g. Port, Com1",
    "2. Go on-line:           i.e. click Line, On-line",
    "3. Execute the command by clicking on the appropriate menu bar item",
    "                         e.g. 'Home_Option1'",
    "4. Wait for it to say 'Done'",
    "5. Choose Line, Exit to exit the program",
    kRule,
};

constexpr int kTrailingBlankLines = 12;

}  // namespace

void WriteHelpText() {
    for (const char* line : kInstructions) TextScreen::WriteLine(line);
    for (int i = 0; i < kTrailingBlankLines; ++i) TextScreen::WriteLine(" ");
}
