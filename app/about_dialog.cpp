// The About box's procedure. The resource holds the fixed texts; the two
// lines below them are filled in here, because the library's version is
// known only at run time.
#include "about_dialog.h"

#include <stdio.h>

#include "resource.h"
#include "sio.h"

namespace {

// "Library 4.25.1": the version number holds major and minor as hex digit
// pairs (0x425), the build comes separately.
void FillLibraryLine(HWND dialog) {
    int version = SioQueryInfo('V');
    int build = SioQueryInfo('B');
    char line[32];
    snprintf(line, sizeof line, "Library %x.%02x.%d", (version >> 8) & 0xFF, version & 0xFF, build);
    SetDlgItemTextA(dialog, IDC_ABOUT_LIBRARY, line);
}

}  // namespace

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            FillLibraryLine(dialog);
            SetDlgItemTextA(dialog, IDC_ABOUT_HINT, "Start with Help");
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, LOWORD(wParam));
                return TRUE;
            }
            return FALSE;
        default: return FALSE;
    }
}
