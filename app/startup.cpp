// The process entry point, in place of the C runtime's: the program needs
// nothing from the runtime, and its command-line rule is its own.
#include "app.h"
#include "command_line.h"

extern "C" void ProgramEntry()
{
    LPSTR tail = CommandLineTail(GetCommandLineA());
    int exitCode = WinMain(GetModuleHandleA(NULL), NULL, tail, SW_SHOWDEFAULT);
    ExitProcess(static_cast<UINT>(exitCode));
}
