#include "cleanup.h"

// Number of direct subkeys; a failed query leaves `count` as it was.
static void QuerySubkeyCount(HKEY key, DWORD* count)
{
    DWORD queried;
    if (RegQueryInfoKeyA(key, NULL, NULL, NULL, &queried, NULL, NULL, NULL,
                         NULL, NULL, NULL, NULL) == ERROR_SUCCESS)
        *count = queried;
}

// Deletes the subkey that currently sits at index 0 of `key`, with its tree.
static Status DeleteFirstSubkey(HKEY key)
{
    char name[260];
    DWORD nameLength = sizeof name;
    FILETIME lastWrite;
    Status status = RegEnumKeyExA(key, 0, name, &nameLength, NULL, NULL, NULL, &lastWrite);
    if (status != ERROR_SUCCESS)
        return status;
    return DeleteKeyTree(key, name);
}

Status DeleteKeyTree(HKEY parent, const char* name)
{
    HKEY key;
    Status status = RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, &key);
    if (status != ERROR_SUCCESS)
        return status;

    // The next subkey moves down to index 0 after each deletion.
    DWORD subkeyCount = 0;
    do
    {
        QuerySubkeyCount(key, &subkeyCount);
        if (subkeyCount != 0)
            status = DeleteFirstSubkey(key);
    } while (status == ERROR_SUCCESS && subkeyCount > 1);
    RegCloseKey(key);

    if (status != ERROR_SUCCESS)
        return status;
    return RegDeleteKeyA(parent, name);
}
