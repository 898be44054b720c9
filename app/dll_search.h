// Where the program takes its DLLs from. Uninstallers start it from folders
// that the user, or anything the user downloaded, can write to: a DLL looked
// for by name must come from the system folder, never from the program's
// folder, the current folder or PATH.
#pragma once

#include <windows.h>

// Restricts the DLL search of the whole process to the system folder. On a
// Windows that cannot, takes the current folder out of the search and loads
// from the system folder, by full path, the DLLs that Windows loads by name
// into a dialog program later. Call before anything may load a DLL; every
// failure is silent.
void RestrictDllSearchToSystemFolder();

// Loads `name` from the system folder only; NULL when it cannot be loaded.
HMODULE LoadSystemLibrary(const char* name);

// A function pointer of no particular type: GetProcAddress's result passes
// through it to the type the function really has, the portable cast
// between two function pointer types.
typedef void (*AnyFunction)();

// `name` in `module`, or NULL.
AnyFunction FindFunction(HMODULE module, const char* name);

// `name` in kernel32, or NULL: for what older Windows lack, looked up
// instead of imported.
AnyFunction FindKernel32Function(const char* name);
