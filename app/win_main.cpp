#include "app.h"
#include "../cleanup/cleanup.h"
#include "../common/equal_no_case.h"
#include "../res/resource.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLineTail, int)
{
    if (!EqualNoCase(commandLineTail, "-unwise"))
        return -1;

    // Nobody could answer: as a question that cannot be shown, it keeps all
    // instead of holding the uninstall up for ever.
    if (!PersonCanSeeTheScreen())
        return 0;

    // Anything but Yes, a failure to show the question included, keeps all.
    if (DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_CONFIRM), NULL, ConfirmDialogProc, 0) != IDOK)
        return 0;

    // The user said Yes: without the notice the work is still done.
    if (DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_PROGRESS), NULL, ProgressDialogProc, 0) == -1)
        RunCleanup();

    NotifyAssociationsChanged();
    return 1;
}
