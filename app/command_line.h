// The command line as WinMain is meant to see it.
#pragma once

#include <windows.h>

// The arguments after the program's path: skips the path (quoted, or up to
// the first blank or control byte) and the blanks after it. Never reads past
// the terminating NUL; returns a pointer into `commandLine`.
LPSTR CommandLineTail(LPSTR commandLine);
