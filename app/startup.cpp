// The process entry point, in place of the C runtime's: the program needs
// nothing from the runtime, and its command-line rule is its own.
#include "app.h"
#include "command_line.h"
#include "dll_search.h"

extern "C" void ProgramEntry()
{
    // Before anything else: a later call may load a DLL by name.
    RestrictDllSearchToSystemFolder();
    LPSTR tail = CommandLineTail(GetCommandLineA());
    int exitCode = WinMain(GetModuleHandleA(NULL), NULL, tail, SW_SHOWDEFAULT);
    ExitProcess(static_cast<UINT>(exitCode));
}
