// Dialogs, windows, the display and the shell as the program meets them:
// a modal loop that feeds a dialog procedure its posted messages and then
// the clicks a test scripted, window rectangles a test sets, a screen of a
// size a test chooses, and a record of the shell notifications.
#include <windows.h>
#include <shlobj.h>

#include "allocation_counter.h"
#include "stand_in.h"

#include <deque>
#include <map>
#include <string>

namespace
{
struct Dialog
{
    DLGPROC procedure;
    bool ended = false;
    INT_PTR result = 0;
};

std::map<HWND, RECT> windowRects;
std::map<HWND, Dialog> dialogs;
std::map<int, std::deque<WPARAM>> scriptedCommands;  // by template id
std::map<int, bool> failingTemplates;
std::vector<int> dialogsRun;
std::vector<bool> firstTabStopFocused;
std::vector<StandIn::WindowMove> moves;
std::vector<StandIn::ShellNotification> notifications;
int screenWidth = 1024, screenHeight = 768;
bool informationContextFails = false;
int openInformationContexts = 0;
bool postFails = false;
bool doubleByteCodePage = false;
uintptr_t nextWindow = 0x1000;

HDC const displayContext = reinterpret_cast<HDC>(static_cast<uintptr_t>(0xdc));

}  // namespace

INT_PTR WINAPI DialogBoxParamA(HINSTANCE, LPCSTR lpTemplateName, HWND, DLGPROC lpDialogFunc, LPARAM dwInitParam)
{
    const int templateId = static_cast<int>(reinterpret_cast<uintptr_t>(lpTemplateName));
    dialogsRun.push_back(templateId);
    StandIn::LogProcessEvent("dialog " + std::to_string(templateId));
    if (failingTemplates[templateId])
        return -1;

    HWND window = reinterpret_cast<HWND>(nextWindow += 0x10);
    windowRects[window] = RECT{ 0, 0, 300, 200 };
    dialogs[window] = Dialog{ lpDialogFunc };
    // TRUE: the dialog manager focuses the first tab stop. FALSE: the
    // procedure set the focus itself, or nothing has it.
    firstTabStopFocused.push_back(lpDialogFunc(window, WM_INITDIALOG, 0, dwInitParam) != FALSE);

    // The modal loop: posted messages first, then the person's next click.
    while (!dialogs[window].ended)
    {
        MSG msg;
        if (PeekMessageA(&msg, window, 0, 0, PM_REMOVE))
        {
            DispatchMessageA(&msg);
            continue;
        }
        auto& script = scriptedCommands[templateId];
        if (script.empty())
            break;  // nobody left to answer: the test forgot a click
        WPARAM command = script.front();
        script.pop_front();
        lpDialogFunc(window, WM_COMMAND, command, 0);
    }
    Dialog dialog = dialogs[window];
    dialogs.erase(window);
    windowRects.erase(window);
    return dialog.ended ? dialog.result : -2;
}

BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult)
{
    auto dialog = dialogs.find(hDlg);
    if (dialog == dialogs.end())
        return FALSE;
    dialog->second.ended = true;
    dialog->second.result = nResult;
    return TRUE;
}

BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    if (postFails)
        return FALSE;
    StandIn::PostToWindow(hWnd, Msg, wParam, lParam);
    return TRUE;
}

BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect)
{
    auto rect = windowRects.find(hWnd);
    if (rect == windowRects.end())
        return FALSE;
    *lpRect = rect->second;
    return TRUE;
}

BOOL WINAPI SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy, UINT uFlags)
{
    AllocationCounter::StandInScope scope;
    moves.push_back(StandIn::WindowMove{ hWnd, hWndInsertAfter, X, Y, cx, cy, uFlags });
    return TRUE;
}

HDC WINAPI CreateICA(LPCSTR pszDriver, LPCSTR pszDevice, LPCSTR pszPort, const void* pdm)
{
    if (informationContextFails || pszDriver == nullptr || std::string(pszDriver) != "DISPLAY" ||
        pszDevice != nullptr || pszPort != nullptr || pdm != nullptr)
        return nullptr;
    ++openInformationContexts;
    return displayContext;
}

int WINAPI GetDeviceCaps(HDC hdc, int index)
{
    if (hdc != displayContext)
        return 0;
    return index == HORZRES ? screenWidth : index == VERTRES ? screenHeight : 0;
}

BOOL WINAPI DeleteDC(HDC hdc)
{
    if (hdc != displayContext || openInformationContexts == 0)
        return FALSE;
    --openInformationContexts;
    return TRUE;
}

// Lead bytes of Shift-JIS (code page 932) when a double-byte code page is on.
BOOL WINAPI IsDBCSLeadByte(BYTE TestChar)
{
    return doubleByteCodePage && ((TestChar >= 0x81 && TestChar <= 0x9F) || (TestChar >= 0xE0 && TestChar <= 0xFC));
}

void WINAPI SHChangeNotify(LONG wEventId, UINT uFlags, LPCVOID dwItem1, LPCVOID dwItem2)
{
    AllocationCounter::StandInScope scope;
    StandIn::LogProcessEvent("SHChangeNotify");
    notifications.push_back(
        StandIn::ShellNotification{ wEventId, uFlags, dwItem1, dwItem2, StandIn::DeletedKeys().size() });
}

namespace StandIn
{
// Delivers one message to a live dialog's procedure.
bool DispatchToDialog(const MSG& msg)
{
    auto dialog = dialogs.find(msg.hwnd);
    if (dialog == dialogs.end())
        return false;
    dialog->second.procedure(msg.hwnd, msg.message, msg.wParam, msg.lParam);
    return true;
}

void ResetWindows()
{
    AllocationCounter::StandInScope scope;
    windowRects.clear();
    dialogs.clear();
    scriptedCommands.clear();
    failingTemplates.clear();
    dialogsRun.clear();
    firstTabStopFocused.clear();
    moves.clear();
    notifications.clear();
    screenWidth = 1024;
    screenHeight = 768;
    informationContextFails = false;
    openInformationContexts = 0;
    postFails = false;
    doubleByteCodePage = false;
}

void ScriptDialog(int templateId, std::initializer_list<WPARAM> commands)
{
    scriptedCommands[templateId].insert(scriptedCommands[templateId].end(), commands);
}

void FailDialog(int templateId)
{
    failingTemplates[templateId] = true;
}

void FailPostMessage(bool fail)
{
    postFails = fail;
}

const std::vector<int>& DialogsRun()
{
    return dialogsRun;
}

const std::vector<bool>& FirstTabStopFocused()
{
    return firstTabStopFocused;
}

HWND MakeWindow(RECT rect)
{
    HWND window = reinterpret_cast<HWND>(nextWindow += 0x10);
    windowRects[window] = rect;
    return window;
}

void SetScreen(int width, int height, bool informationContextWorks)
{
    screenWidth = width;
    screenHeight = height;
    informationContextFails = !informationContextWorks;
}

int OpenInformationContexts()
{
    return openInformationContexts;
}

const std::vector<WindowMove>& WindowMoves()
{
    return moves;
}

const std::vector<ShellNotification>& ShellNotifications()
{
    return notifications;
}

void SetDoubleByteCodePage(bool on)
{
    doubleByteCodePage = on;
}
}  // namespace StandIn
