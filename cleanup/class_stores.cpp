#include "cleanup.h"

const CleanupTarget ClassStores[ClassStoreCount] = {
    { HKEY_CURRENT_USER, "Software\\Classes" },
    { HKEY_LOCAL_MACHINE, "Software\\Classes" },
};

void ForEachClassStore(void (*work)(HKEY store, const char* classId), const char* classId)
{
    for (int i = 0; i < ClassStoreCount; ++i)
    {
        // Followed like any level above a planned key: since Windows 2000
        // the per-user store is a link into the user's own classes hive.
        HKEY store;
        if (RegOpenKeyExA(ClassStores[i].root, ClassStores[i].path, 0, KEY_ALL_ACCESS, &store) != ERROR_SUCCESS)
            continue;
        work(store, classId);
        RegCloseKey(store);
    }
}
