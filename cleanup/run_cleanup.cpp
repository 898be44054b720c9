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

static bool IsClass(const CleanupTarget& target)
{
    return target.root == HKEY_CLASSES_ROOT;
}

// Each store's copy is a deletion of its own: a failure in one store leaves
// the other's copy to go all the same.
static void DeleteClassTree(HKEY store, const char* classId)
{
    DeleteKeyTree(store, classId);
}

void RunCleanup()
{
    // Every class key goes before any extension is scrubbed, so no
    // association is removed while its class is still registered.
    for (int i = 0; i < CleanupTargetCount; ++i)
    {
        if (IsClass(CleanupPlan[i]))
            ForEachClassStore(DeleteClassTree, CleanupPlan[i].path);
        else
            DeleteKeyTree(CleanupPlan[i].root, CleanupPlan[i].path);
        PumpMessages();
    }
    for (int i = 0; i < CleanupTargetCount; ++i)
    {
        if (IsClass(CleanupPlan[i]))
            ScrubExtensionAssociations(CleanupPlan[i].path);
        PumpMessages();
    }
}
