// Case-insensitive comparison that folds ASCII letters only, so the result
// does not depend on the ANSI code page the program happens to run under.
#pragma once

#include <windows.h>

// True when both NUL-terminated strings have the same length and their
// bytes match once 'A'-'Z' are folded to 'a'-'z'.
bool EqualNoCase(const char* left, const char* right);

// As EqualNoCase, for text that ends at its first NUL or after `length`
// bytes, whichever comes first (registry data need not be terminated).
bool EqualNoCaseCounted(const char* text, DWORD length, const char* other);
