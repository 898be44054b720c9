#include "cleanup.h"
#include "../common/ntdll.h"
#include "../common/whole_name.h"

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
    // A cut name would open the key itself, or a sibling, and one with a
    // backslash a path out of the tree: the subkey counts as one that
    // cannot be opened, and its ancestors stay.
    if (nameLength == 0 || !IsWholeName(name, nameLength) || !IsSingleLevel(name))
        return ERROR_INVALID_NAME;
    return DeleteKeyTree(key, name);
}

Status DeleteKeyTree(HKEY parent, const char* name)
{
    // A link is opened as itself, never as what it points at: it has no
    // subkeys, and deleting it removes only the link. Links at the levels
    // above the last one of `name` (software\Orlo) are followed, as always.
    HKEY key;
    Status status = RegOpenKeyExA(parent, name, REG_OPTION_OPEN_LINK, KEY_ALL_ACCESS, &key);
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

    // Deleted through the handle, not by name: the name may lead elsewhere
    // by now, and RegDeleteKeyA would follow a link to its target.
    if (status == ERROR_SUCCESS)
        status = static_cast<Status>(RtlNtStatusToDosError(NtDeleteKey(key)));
    RegCloseKey(key);
    return status;
}
