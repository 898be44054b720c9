// Host stand-in for the shell notification the program sends.
#pragma once

#include <windows.h>

#define SHCNE_ASSOCCHANGED 0x08000000L
#define SHCNF_IDLIST 0x0000

void WINAPI SHChangeNotify(LONG wEventId, UINT uFlags, const void* dwItem1, const void* dwItem2);
