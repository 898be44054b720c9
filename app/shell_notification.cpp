#include "app.h"
#include "dll_search.h"

#include <shlobj.h>

typedef void(WINAPI* SHChangeNotifyFunction)(LONG eventId, UINT flags, LPCVOID item1, LPCVOID item2);

// SHELL32 is loaded only here, from the system folder: imported, it and the
// DLLs it needs would be looked for beside the program as the process starts.
// It stays loaded; the process ends right after.
void NotifyAssociationsChanged()
{
    HMODULE shell32 = LoadSystemLibrary("shell32.dll");
    if (shell32 == NULL)
        return;
    SHChangeNotifyFunction notify =
        reinterpret_cast<SHChangeNotifyFunction>(FindFunction(shell32, "SHChangeNotify"));
    if (notify != NULL)
        notify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, NULL, NULL);
}
