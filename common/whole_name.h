// Names read back through the A calls. The registry keeps counted names: one
// written through the native calls may hold NUL, and an A call then gives it
// back cut at the NUL, with the whole name's length. Such a cut name is
// another key's or value's name, or none (an empty key name opens the key
// itself), so it is never used.
#pragma once

#include <windows.h>

// True when `name` ends where the length the A call returned says.
inline bool IsWholeName(const char* name, DWORD length)
{
    DWORD end = 0;
    while (name[end] != '\0')
        ++end;
    return end == length;
}
