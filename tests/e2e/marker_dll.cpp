// A DLL that tells on whoever loads it: DllMain writes NAME.loaded beside
// itself, NAME being whatever name it was planted under. It needs nothing
// but kernel32, so loading it loads no further planted name.
#include <windows.h>

extern "C" BOOL WINAPI MarkerEntry(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    char path[MAX_PATH + 8];
    DWORD length = GetModuleFileNameA(instance, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return TRUE;
    const char suffix[] = ".loaded";
    for (DWORD i = 0; i < sizeof suffix; ++i)
        path[length + i] = suffix[i];
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return TRUE;
}
