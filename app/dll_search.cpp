#include "dll_search.h"

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

typedef BOOL(WINAPI* SetDefaultDllDirectoriesFunction)(DWORD directoryFlags);
typedef BOOL(WINAPI* SetDllDirectoryFunction)(LPCSTR path);

// Loaded by name, on demand, into a dialog program by Windows' own DLLs.
static const char* const OnDemandDlls[] = {
    "uxtheme.dll", "dwmapi.dll",  "version.dll", "cryptbase.dll", "userenv.dll",
    "setupapi.dll", "apphelp.dll", "propsys.dll", "oleacc.dll",   "clbcatq.dll",
};

AnyFunction FindFunction(HMODULE module, const char* name)
{
    return reinterpret_cast<AnyFunction>(GetProcAddress(module, name));
}

AnyFunction FindKernel32Function(const char* name)
{
    HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    return kernel32 != NULL ? FindFunction(kernel32, name) : NULL;
}

// Windows 8 and later; Vista and 7 with update KB2533623, which also
// teaches LoadLibraryExA the LOAD_LIBRARY_SEARCH_ flags.
static SetDefaultDllDirectoriesFunction FindSetDefaultDllDirectories()
{
    return reinterpret_cast<SetDefaultDllDirectoriesFunction>(FindKernel32Function("SetDefaultDllDirectories"));
}

// "<system folder>\<name>" into `path`; false when it does not fit.
static bool SystemFolderPath(const char* name, char* path, UINT size)
{
    UINT length = GetSystemDirectoryA(path, size);
    if (length == 0 || length >= size)
        return false;
    if (path[length - 1] != '\\')
        path[length++] = '\\';
    for (const char* c = name;; ++c)
    {
        if (length == size)
            return false;
        path[length++] = *c;
        if (*c == '\0')
            return true;
    }
}

HMODULE LoadSystemLibrary(const char* name)
{
    if (FindSetDefaultDllDirectories() != NULL)
        return LoadLibraryExA(name, NULL, LOAD_LIBRARY_SEARCH_SYSTEM32);
    char path[MAX_PATH];
    if (!SystemFolderPath(name, path, sizeof path))
        return NULL;
    // The DLLs it needs are then looked for beside it, in the system folder.
    return LoadLibraryExA(path, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
}

void RestrictDllSearchToSystemFolder()
{
    SetDefaultDllDirectoriesFunction setDefaultDllDirectories = FindSetDefaultDllDirectories();
    if (setDefaultDllDirectories != NULL && setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32))
        return;

    // Windows XP SP1 and later: an empty folder takes the current one out.
    SetDllDirectoryFunction setDllDirectory =
        reinterpret_cast<SetDllDirectoryFunction>(FindKernel32Function("SetDllDirectoryA"));
    if (setDllDirectory != NULL)
        setDllDirectory("");

    // Loaded now from the system folder, a later load by name finds them
    // already there. They stay loaded; a missing one asks nobody anything.
    UINT errorMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    for (UINT i = 0; i < sizeof OnDemandDlls / sizeof OnDemandDlls[0]; ++i)
        LoadSystemLibrary(OnDemandDlls[i]);
    SetErrorMode(errorMode);
}
