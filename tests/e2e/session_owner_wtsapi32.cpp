// A wtsapi32.dll of the tests' own, loaded into an uninstaller in place of
// Wine's (whose one session always belongs to the account every program
// runs as): it says the session belongs to SESSION_OWNER ("DOMAIN\user"),
// or, where that is unset, fails as WTSQuerySessionInformationW does on a
// Windows whose Remote Desktop Services service is not running. Inno Setup's
// uninstaller also asks it for session notifications, as it asks Wine's.
#include <windows.h>

namespace
{
const int WTSUserName = 5;
const int WTSDomainName = 7;
}

extern "C" __declspec(dllexport) BOOL WINAPI WTSQuerySessionInformationW(HANDLE, DWORD, int infoClass,
                                                                         LPWSTR* buffer, DWORD* bytes)
{
    WCHAR owner[256];
    const DWORD length = GetEnvironmentVariableW(L"SESSION_OWNER", owner, 256);
    WCHAR* user = owner;
    while (user < owner + length && *user != L'\\')
        ++user;
    if (length == 0 || length >= 256 || user == owner + length || buffer == nullptr || bytes == nullptr ||
        (infoClass != WTSUserName && infoClass != WTSDomainName))
    {
        SetLastError(RPC_S_SERVER_UNAVAILABLE);
        return FALSE;
    }
    *user++ = L'\0';
    const WCHAR* part = infoClass == WTSUserName ? user : owner;
    *bytes = (lstrlenW(part) + 1) * sizeof(WCHAR);
    *buffer = static_cast<LPWSTR>(LocalAlloc(LMEM_FIXED, *bytes));
    lstrcpyW(*buffer, part);
    return TRUE;
}

extern "C" __declspec(dllexport) void WINAPI WTSFreeMemory(void* memory)
{
    LocalFree(memory);
}

extern "C" __declspec(dllexport) BOOL WINAPI WTSRegisterSessionNotification(HWND, DWORD)
{
    return TRUE;
}

extern "C" __declspec(dllexport) BOOL WINAPI WTSUnRegisterSessionNotification(HWND)
{
    return TRUE;
}
