#include "app.h"
#include "../cleanup/cleanup.h"
#include "../res/resource.h"

INT_PTR CALLBACK ConfirmDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message)
    {
    case WM_INITDIALOG:
        CenterOnScreen(dialog);
        return TRUE;  // focus to the first tab stop, "No"

    case WM_COMMAND:
        // Escape and the close box arrive as IDCANCEL.
        if (wParam == IDOK || wParam == IDCANCEL)
        {
            EndDialog(dialog, wParam == IDOK ? 1 : 2);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

static void RunCleanupAndClose(HWND dialog)
{
    RunCleanup();
    EndDialog(dialog, 1);
}

INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message)
    {
    case WM_INITDIALOG:
        CenterOnScreen(dialog);
        // Posted, so the work starts from the modal loop once the notice
        // shows. Should the post fail, the work is done now instead, or the
        // notice would never close.
        if (!PostMessageA(dialog, WM_COMMAND, CMD_START_CLEANUP, 0))
            RunCleanupAndClose(dialog);
        return TRUE;

    case WM_COMMAND:
        // IDCANCEL is not handled: the notice cannot be dismissed.
        if (wParam == CMD_START_CLEANUP)
        {
            RunCleanupAndClose(dialog);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}
