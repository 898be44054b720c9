// The process as the program's entry meets it: its command line, its exit,
// kernel32's run-time lookups and the loading of DLLs, on a Windows whose
// age a test chooses. Loads and search changes are logged in order, with
// the dialogs and the shell notification, so a test can tell what came first.
#include <windows.h>
#include <shlobj.h>

#include "allocation_counter.h"
#include "stand_in.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

namespace
{
const char* const SystemFolder = "C:\\WINDOWS\\system32";

std::string commandLine;
std::vector<UINT> exitCodes;
std::vector<std::string> events;
std::set<std::string> missingKernel32Functions;
std::set<std::string> missingLibraries;  // lower-case file names
UINT errorMode = 0;
DWORD windowsVersion = 0x0A00;  // GetVersion's low word: minor, major
DWORD sessionId = 1;
DWORD windowStationFlags = WSF_VISIBLE;
bool windowStationReadable = true;
HWINSTA const windowStation = reinterpret_cast<HWINSTA>(static_cast<uintptr_t>(0x7cb00000));
const DWORD processId = 4242;

HINSTANCE const programModule = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x400000));
HMODULE const kernel32Module = reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x7c800000));
HMODULE const shell32Module = reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x7c900000));
HMODULE const otherModule = reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x7ca00000));

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; });
    return text;
}

bool HasKernel32Function(const std::string& name)
{
    return missingKernel32Functions.count(name) == 0;
}

std::string Hex(DWORD value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(value));
    return text;
}

BOOL WINAPI StandInSetDefaultDllDirectories(DWORD directoryFlags)
{
    StandIn::LogProcessEvent("SetDefaultDllDirectories " + Hex(directoryFlags));
    return TRUE;
}

BOOL WINAPI StandInSetDllDirectoryA(LPCSTR path)
{
    StandIn::LogProcessEvent(std::string("SetDllDirectoryA [") + (path != nullptr ? path : "(null)") + "]");
    return TRUE;
}

BOOL WINAPI StandInProcessIdToSessionId(DWORD process, DWORD* session)
{
    if (process != processId || session == nullptr)
        return FALSE;
    *session = sessionId;
    return TRUE;
}

template <class Function>
FARPROC AsFarProc(Function function)
{
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}
}  // namespace

LPSTR WINAPI GetCommandLineA()
{
    return &commandLine[0];
}

// Records the code and returns: the stand-in cannot end the test's own
// process, and the program's entry calls it last.
void WINAPI ExitProcess(UINT uExitCode)
{
    AllocationCounter::StandInScope scope;
    exitCodes.push_back(uExitCode);
}

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName)
{
    if (lpModuleName == nullptr)
        return programModule;
    return Lower(lpModuleName) == "kernel32.dll" ? kernel32Module : nullptr;
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName)
{
    AllocationCounter::StandInScope scope;
    const std::string name = lpProcName;
    if (hModule == kernel32Module && HasKernel32Function(name))
    {
        if (name == "SetDefaultDllDirectories")
            return AsFarProc(StandInSetDefaultDllDirectories);
        if (name == "SetDllDirectoryA")
            return AsFarProc(StandInSetDllDirectoryA);
        if (name == "ProcessIdToSessionId")
            return AsFarProc(StandInProcessIdToSessionId);
    }
    if (hModule == shell32Module && name == "SHChangeNotify")
        return AsFarProc(SHChangeNotify);
    return nullptr;
}

HMODULE WINAPI LoadLibraryExA(LPCSTR lpLibFileName, HANDLE hFile, DWORD dwFlags)
{
    AllocationCounter::StandInScope scope;
    const std::string name = lpLibFileName;
    StandIn::LogProcessEvent("LoadLibraryExA " + name + " " + Hex(dwFlags));
    // The LOAD_LIBRARY_SEARCH_ flags came with SetDefaultDllDirectories.
    if (hFile != nullptr || ((dwFlags & LOAD_LIBRARY_SEARCH_SYSTEM32) && !HasKernel32Function("SetDefaultDllDirectories")))
        return nullptr;
    const std::string file = Lower(name.substr(name.find_last_of('\\') + 1));
    if (missingLibraries.count(file) != 0)
        return nullptr;
    return file == "shell32.dll" ? shell32Module : otherModule;
}

UINT WINAPI GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize)
{
    const UINT length = static_cast<UINT>(std::strlen(SystemFolder));
    if (uSize <= length)
        return length + 1;
    std::memcpy(lpBuffer, SystemFolder, length + 1);
    return length;
}

UINT WINAPI SetErrorMode(UINT uMode)
{
    AllocationCounter::StandInScope scope;
    StandIn::LogProcessEvent("SetErrorMode " + Hex(uMode));
    UINT previous = errorMode;
    errorMode = uMode;
    return previous;
}

DWORD WINAPI GetVersion()
{
    return windowsVersion;
}

DWORD WINAPI GetCurrentProcessId()
{
    return processId;
}

HWINSTA WINAPI GetProcessWindowStation()
{
    return windowStation;
}

BOOL WINAPI GetUserObjectInformationA(HANDLE hObj, int nIndex, PVOID pvInfo, DWORD nLength, LPDWORD lpnLengthNeeded)
{
    if (lpnLengthNeeded != nullptr)
        *lpnLengthNeeded = sizeof(USEROBJECTFLAGS);
    if (hObj != windowStation || nIndex != UOI_FLAGS || !windowStationReadable || nLength < sizeof(USEROBJECTFLAGS))
        return FALSE;
    USEROBJECTFLAGS flags = { FALSE, FALSE, windowStationFlags };
    std::memcpy(pvInfo, &flags, sizeof flags);
    return TRUE;
}

namespace StandIn
{
void SetWindows(BYTE major, BYTE minor, DWORD session)
{
    windowsVersion = static_cast<DWORD>(major | minor << 8);
    sessionId = session;
}

void SetWindowStation(DWORD flags, bool readable)
{
    windowStationFlags = flags;
    windowStationReadable = readable;
}

void SetCommandLine(const char* line)
{
    commandLine = line;
}

const std::vector<UINT>& ExitCodes()
{
    return exitCodes;
}

void RemoveKernel32Function(const char* name)
{
    missingKernel32Functions.insert(name);
}

void RemoveLibrary(const char* fileName)
{
    missingLibraries.insert(Lower(fileName));
}

const char* SystemDirectory()
{
    return SystemFolder;
}

void LogProcessEvent(const std::string& event)
{
    AllocationCounter::StandInScope scope;
    events.push_back(event);
}

void InheritErrorMode(UINT mode)
{
    errorMode = mode;
}

UINT ErrorMode()
{
    return errorMode;
}

const std::vector<std::string>& ProcessEvents()
{
    return events;
}

void ResetProcess()
{
    AllocationCounter::StandInScope scope;
    commandLine = "SettingsCleanup.exe";
    exitCodes.clear();
    events.clear();
    missingKernel32Functions.clear();
    missingLibraries.clear();
    errorMode = 0;
    windowsVersion = 0x0A00;
    sessionId = 1;
    windowStationFlags = WSF_VISIBLE;
    windowStationReadable = true;
}
}  // namespace StandIn
