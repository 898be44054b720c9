// A registry subtree as text, one line per key and per value, sorted so the
// listing does not depend on the order in which a registry enumerates. A
// link is listed as itself, with its REG_LINK value, not as its target.
#pragma once

#include <windows.h>

#include <string>

// "(missing)\n" when root\path cannot be opened for reading.
std::string DumpRegistryTree(HKEY root, const char* path);
