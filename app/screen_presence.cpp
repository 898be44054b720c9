#include "app.h"
#include "dll_search.h"

typedef BOOL(WINAPI* ProcessIdToSessionIdFunction)(DWORD processId, DWORD* sessionId);

// Only the interactive window station, WinSta0, is shown on a screen; one
// made for a service or a scheduled task is not. Unknown counts as shown.
static bool WindowStationIsVisible()
{
    HWINSTA station = GetProcessWindowStation();
    USEROBJECTFLAGS flags;
    DWORD needed;
    if (station == NULL || !GetUserObjectInformationA(station, UOI_FLAGS, &flags, sizeof flags, &needed))
        return true;
    return (flags.dwFlags & WSF_VISIBLE) != 0;
}

// Since Vista session 0 belongs to services alone; before, it was the
// console's. NT 4.0 has no ProcessIdToSessionId, and no sessions to ask of.
static bool InIsolatedServicesSession()
{
    const DWORD majorVersion = LOBYTE(LOWORD(GetVersion()));
    if (majorVersion < 6)
        return false;
    ProcessIdToSessionIdFunction processIdToSessionId =
        reinterpret_cast<ProcessIdToSessionIdFunction>(FindKernel32Function("ProcessIdToSessionId"));
    DWORD session;
    return processIdToSessionId != NULL && processIdToSessionId(GetCurrentProcessId(), &session) && session == 0;
}

bool PersonCanSeeTheScreen()
{
    return WindowStationIsVisible() && !InIsolatedServicesSession();
}
