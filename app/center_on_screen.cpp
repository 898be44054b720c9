#include "app.h"

// The full display, taskbar included. False when it cannot be measured.
static bool GetScreenSize(int* width, int* height)
{
    HDC info = CreateICA("DISPLAY", NULL, NULL, NULL);
    if (info == NULL)
        return false;
    *width = GetDeviceCaps(info, HORZRES);
    *height = GetDeviceCaps(info, VERTRES);
    DeleteDC(info);
    return true;
}

void CenterOnScreen(HWND window)
{
    // A window that cannot be measured stays where the dialog manager put it.
    int screenWidth, screenHeight;
    RECT rect;
    if (!GetScreenSize(&screenWidth, &screenHeight) || !GetWindowRect(window, &rect))
        return;
    // Negative when the window is larger than the screen; placed there anyway.
    int x = (rect.left - rect.right + screenWidth) / 2;
    int y = (rect.top - rect.bottom + screenHeight) / 2;
    SetWindowPos(window, NULL, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}
