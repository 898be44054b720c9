// Names read back through the A calls. The registry keeps counted names: one
// written through the native calls may hold NUL, and an A call then gives it
// back cut at the NUL, with the whole name's length. Such a cut name is
// another key's or value's name, or none (an empty key name opens the key
// itself), so it is never used.
#pragma once

#include <windows.h>

// True when `name` holds no NUL before `length` and ends there, as the
// length an A call returned says; reads at most length + 1 bytes.
inline bool IsWholeName(const char* name, DWORD length)
{
    for (DWORD i = 0; i < length; ++i)
    {
        if (name[i] == '\0')
            return false;
    }
    return name[length] == '\0';
}
