#include "cleanup.h"
#include "../common/equal_no_case.h"
#include "../common/whole_name.h"

// Whether the value called `name`, read by that name, is a REG_SZ naming
// `classId`: the name the enumeration gave may not be the matching value's.
static bool ValueNamesClass(HKEY key, const char* name, const char* classId)
{
    BYTE data[100];
    DWORD dataLength = sizeof data;
    DWORD type;
    return RegQueryValueExA(key, name, NULL, &type, data, &dataLength) == ERROR_SUCCESS && type == REG_SZ &&
           EqualNoCaseCounted(reinterpret_cast<const char*>(data), dataLength, classId);
}

// <store>\.ext has values such as  (Default) = "TSO5.Image".
void RemoveMatchingValue(HKEY store, const char* extensionKeyName, const char* classId)
{
    // An extension that is a link is opened as itself, so nothing is read
    // or deleted through it: its only value is its REG_LINK target.
    HKEY key;
    LONG status = RegOpenKeyExA(store, extensionKeyName, REG_OPTION_OPEN_LINK, KEY_ALL_ACCESS, &key);
    if (status != ERROR_SUCCESS)
        return;

    for (DWORD index = 0;; ++index)
    {
        char name[100];
        BYTE data[100];
        DWORD nameLength = sizeof name;
        DWORD dataLength = sizeof data;
        DWORD type;
        status = RegEnumValueA(key, index, name, &nameLength, NULL, &type, data, &dataLength);
        // An oversized value cannot be a class name; it must not hide the
        // values after it.
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS)
            break;
        if (type == REG_SZ && EqualNoCaseCounted(reinterpret_cast<const char*>(data), dataLength, classId))
        {
            // A cut or '?'-mangled name would delete another value.
            if (IsWholeName(name, nameLength) && ValueNamesClass(key, name, classId))
                RegDeleteValueA(key, name);
            break;
        }
    }
    RegCloseKey(key);
}

// The extension keys directly below one store.
static void ScrubStore(HKEY store, const char* classId)
{
    for (DWORD index = 0;; ++index)
    {
        char name[100];
        LONG status = RegEnumKeyA(store, index, name, sizeof name);
        // A name too long for the buffer cannot be read, but must not end
        // the walk before the extension keys after it.
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS)
            break;
        // A name with a backslash was changed by the code page: opened, it
        // would lead through the link its first level may name.
        if (name[0] == '.' && IsSingleLevel(name))
            RemoveMatchingValue(store, name, classId);
    }
}

void ScrubExtensionAssociations(const char* classId)
{
    ForEachClassStore(ScrubStore, classId);
}
