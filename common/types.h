// Types shared by every part of the program.
#pragma once

#include <windows.h>

// One of the predefined root keys (HKEY_CLASSES_ROOT, HKEY_CURRENT_USER).
typedef HKEY RegistryRoot;

// A Win32 error code: ERROR_SUCCESS, or the code of the call that failed.
typedef LONG Status;
