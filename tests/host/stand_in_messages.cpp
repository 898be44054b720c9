// One thread's message queue: messages posted by tests, drained by the
// program's pump, with WM_QUIT delivered once the queue is empty, as
// PostQuitMessage does on Windows.
#include <windows.h>

#include "allocation_counter.h"
#include "stand_in.h"

#include <deque>

namespace
{
std::deque<MSG> queue;
bool quitPosted = false;
int quitCode = 0;
int emptyQueueCount = 0;
std::vector<MSG> dispatched;
std::function<void()> onQueueEmpty;
}

BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND, UINT, UINT, UINT wRemoveMsg)
{
    AllocationCounter::StandInScope scope;
    if (!queue.empty())
    {
        *lpMsg = queue.front();
        if (wRemoveMsg & PM_REMOVE)
            queue.pop_front();
        return TRUE;
    }
    if (quitPosted)
    {
        *lpMsg = MSG{ nullptr, WM_QUIT, static_cast<WPARAM>(quitCode), 0, 0, { 0, 0 } };
        if (wRemoveMsg & PM_REMOVE)
            quitPosted = false;
        return TRUE;
    }
    ++emptyQueueCount;
    if (onQueueEmpty)
        onQueueEmpty();
    return FALSE;
}

BOOL WINAPI TranslateMessage(const MSG*)
{
    return FALSE;
}

LRESULT WINAPI DispatchMessageA(const MSG* lpMsg)
{
    {
        AllocationCounter::StandInScope scope;
        dispatched.push_back(*lpMsg);
    }
    StandIn::DispatchToDialog(*lpMsg);
    return 0;
}

BOOL WINAPI PostThreadMessageA(DWORD, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    AllocationCounter::StandInScope scope;
    queue.push_back(MSG{ nullptr, Msg, wParam, lParam, 0, { 0, 0 } });
    return TRUE;
}

void WINAPI PostQuitMessage(int nExitCode)
{
    quitPosted = true;
    quitCode = nExitCode;
}

DWORD WINAPI GetCurrentThreadId()
{
    return 1;
}

namespace StandIn
{
void Reset()
{
    ResetRegistry();
    ResetWindows();
    ResetProcess();
    AllocationCounter::StandInScope scope;
    queue.clear();
    quitPosted = false;
    emptyQueueCount = 0;
    dispatched.clear();
    onQueueEmpty = nullptr;
}

void PostToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    AllocationCounter::StandInScope scope;
    queue.push_back(MSG{ window, message, wParam, lParam, 0, { 0, 0 } });
}

void OnQueueEmpty(std::function<void()> callback)
{
    onQueueEmpty = std::move(callback);
}

int EmptyQueueCount()
{
    return emptyQueueCount;
}

const std::vector<MSG>& DispatchedMessages()
{
    return dispatched;
}
}  // namespace StandIn
