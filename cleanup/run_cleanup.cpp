#include "cleanup.h"

void PumpMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
    {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void RunCleanup()
{
    // Every class key goes before any extension is scrubbed, so no
    // association is removed while its class is still registered.
    for (int i = 0; i < CleanupTargetCount; ++i)
    {
        DeleteKeyTree(CleanupPlan[i].root, CleanupPlan[i].path);
        PumpMessages();
    }
    for (int i = 0; i < CleanupTargetCount; ++i)
    {
        if (CleanupPlan[i].root == HKEY_CLASSES_ROOT)
            ScrubExtensionAssociations(CleanupPlan[i].path);
        PumpMessages();
    }
}
