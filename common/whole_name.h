// Names read back through the A calls. The registry keeps counted names in
// UTF-16, and an A call gives back what the ANSI code page makes of them:
// one written through the native calls may hold NUL, and comes back cut at
// the NUL with the whole name's length; a character the code page lacks
// comes back as its best fit (U+FF3C FULLWIDTH REVERSE SOLIDUS as '\'), or
// as '?'. Such a name is another key's or value's, or none.
#pragma once

#include <windows.h>

// True when `name` holds no NUL before `length` and ends there, as the
// length an A call returned says; reads at most length + 1 bytes. A cut
// name would open the key itself (an empty one) or a sibling: never used.
inline bool IsWholeName(const char* name, DWORD length)
{
    for (DWORD i = 0; i < length; ++i)
    {
        if (name[i] == '\0')
            return false;
    }
    return name[length] == '\0';
}

// True when the NUL-terminated key name `name` holds no backslash. No key
// name can, so one that reads back with one was changed by the code page,
// and opened it would be a path: through whatever link holds its first
// level, out of the tree it was read in.
inline bool IsSingleLevel(const char* name)
{
    for (; *name != '\0'; ++name)
    {
        if (*name == '\\')
            return false;
    }
    return true;
}
