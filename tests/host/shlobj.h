// Host stand-in for the shell notification the program sends.
#pragma once

#include <windows.h>

#define SHCNE_ASSOCCHANGED 0x08000000L
#define SHCNF_IDLIST 0x0000

// Reached by the program only through GetProcAddress.
void WINAPI SHChangeNotify(LONG wEventId, UINT uFlags, LPCVOID dwItem1, LPCVOID dwItem2);
