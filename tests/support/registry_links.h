// Registry links for tests, made as Windows makes them, and a cleanup that
// never follows one.
#pragma once

#include <windows.h>

#include "native_names.h"

#include <string>

extern "C" LONG WINAPI NtQueryKey(HANDLE key, int informationClass, PVOID information, ULONG length,
                                  PULONG resultLength);

// root\path in the kernel's namespace (\REGISTRY\...), as a link's target
// names it: the key's own name when it exists, else its parent's and then
// its last level. Empty when neither can be opened.
std::string KernelPath(HKEY root, const char* path);

// Makes root\path a link to `target`, a kernel path; `options` may add
// REG_OPTION_VOLATILE. Returns the first failing code.
LONG CreateRegistryLink(HKEY root, const char* path, const std::string& target, DWORD options = 0);

// Deletes root\path with everything below it, a link as itself: no link
// target is ever touched.
void DeleteTreeSparingLinkTargets(HKEY root, const char* path);
// The same for the subkey `name` of the open key `parent`, by its whole
// name: one read back changed (cut, or with a backslash by best fit) would
// open another key.
void DeleteSubkeyTreeSparingLinkTargets(HKEY parent, const WideName& name);
