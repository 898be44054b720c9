// The program's entry and its two dialogs.
#pragma once

#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLineTail, int showState);

// IDD_CONFIRM: ends with 1 for Yes, 2 for No.
INT_PTR CALLBACK ConfirmDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// IDD_PROGRESS: runs the cleanup once shown, then ends with 1.
INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Moves a top-level window to the middle of the whole display.
void CenterOnScreen(HWND window);

// Tells the shell that file associations changed; silent when it cannot.
void NotifyAssociationsChanged();

// False where no one can see a window of this process: a window station
// that is not shown (a service's), or session 0 on Windows Vista and later.
bool PersonCanSeeTheScreen();
