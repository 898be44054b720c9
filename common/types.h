// Types shared by every part of the program.
#pragma once

#include <windows.h>

// One of the predefined root keys: HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE,
// and HKEY_CLASSES_ROOT as the cleanup plan's name for a document class.
typedef HKEY RegistryRoot;

// A Win32 error code: ERROR_SUCCESS, or the code of the call that failed.
typedef LONG Status;
