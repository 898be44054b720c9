// Native registry calls that <windows.h> does not declare. ntdll exports
// them on every Windows NT.
#pragma once

#include <windows.h>

// Deletes the key behind `key`, which needs DELETE access and no subkeys.
// For a key opened with REG_OPTION_OPEN_LINK that is the link itself, never
// what it points at.
extern "C" LONG WINAPI NtDeleteKey(HANDLE key);

extern "C" ULONG WINAPI RtlNtStatusToDosError(LONG status);
