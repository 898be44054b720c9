// Test controls of the host stand-in: reset, observation and fault injection.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace StandIn
{
// Empties the registry to its roots and the two class stores, and forgets
// faults, counts, logs and queued messages. Handles still open are dropped.
void Reset();

int OpenHandleCount();

// Opening `path` under `root` (HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER), or
// any key below it, with more than read access fails with
// ERROR_ACCESS_DENIED, and so does deleting it, as an inherited restrictive
// ACL would.
void DenyWriteAccess(HKEY root, const char* path);

// Calls that named HKEY_CLASSES_ROOT since the last Reset(). Windows answers
// them from its merged view of both class stores, which the stand-in does
// not have: it refuses them with ERROR_INVALID_HANDLE.
int ClassesRootCallCount();

// The `nth` call (1 = the next one) of `function` returns `code` and does
// nothing else.
void FailCall(const char* function, int nth, LONG code);

int CallCount(const char* function);
long long RegistryCallCount();

// Full paths ("HKLM\\SOFTWARE\\Classes\\a", "HKCU\\Software\\Classes\\a") of
// the keys RegDeleteKeyA and NtDeleteKey removed, in order.
const std::vector<std::string>& DeletedKeys();

// Called each time PeekMessageA finds the queue empty, that is at the end of
// every drain of the queue.
void OnQueueEmpty(std::function<void()> callback);
int EmptyQueueCount();
const std::vector<MSG>& DispatchedMessages();
void PostToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Dialogs: DialogBoxParamA sends WM_INITDIALOG, then runs a modal loop that
// dispatches queued messages and, when the queue is empty, sends the next
// scripted WM_COMMAND, until EndDialog. It returns -1 for a template set to
// fail, and -2 if the script ran out before the dialog ended.
void ScriptDialog(int templateId, std::initializer_list<WPARAM> commands);
void FailDialog(int templateId);
void FailPostMessage(bool fail);
const std::vector<int>& DialogsRun();  // template ids, in order
// For each dialog run, whether the dialog manager gave the focus to its
// first tab stop: it does when WM_INITDIALOG returns TRUE; on FALSE the
// procedure must have set it, and no control has it otherwise.
const std::vector<bool>& FirstTabStopFocused();
bool DispatchToDialog(const MSG& msg);

// Windows and the display.
struct WindowMove
{
    HWND window;
    HWND insertAfter;
    int x, y, cx, cy;
    UINT flags;
};
HWND MakeWindow(RECT rect);
void SetScreen(int width, int height, bool informationContextWorks);
int OpenInformationContexts();
const std::vector<WindowMove>& WindowMoves();

struct ShellNotification
{
    LONG event;
    UINT flags;
    const void* item1;
    const void* item2;
    size_t keysDeletedBefore;  // DeletedKeys().size() when the shell was told
};
const std::vector<ShellNotification>& ShellNotifications();

// IsDBCSLeadByte answers as under code page 932 while this is on.
void SetDoubleByteCodePage(bool on);

// The process: GetCommandLineA answers `line`; ExitProcess records its code
// and returns. A Windows older than 8 (without KB2533623 on Vista and 7)
// lacks kernel32's SetDefaultDllDirectories, and one older than XP SP1 its
// SetDllDirectoryA; LoadLibraryExA fails for a removed library.
void SetCommandLine(const char* line);
const std::vector<UINT>& ExitCodes();
void RemoveKernel32Function(const char* name);
// The Windows version GetVersion reports (10.0 after Reset()) and the
// process's session (1); ProcessIdToSessionId is there unless removed.
void SetWindows(BYTE major, BYTE minor, DWORD session);
// The UOI_FLAGS of the process's window station (WSF_VISIBLE after Reset()),
// or a failure to read them.
void SetWindowStation(DWORD flags, bool readable);
// The error mode the process starts with, as its parent left it; 0 after
// Reset(). ErrorMode() is the mode now.
void InheritErrorMode(UINT mode);
UINT ErrorMode();
void RemoveLibrary(const char* fileName);
const char* SystemDirectory();

// In order: "SetDefaultDllDirectories 0x800", "SetDllDirectoryA []",
// "LoadLibraryExA NAME 0xFLAGS", "SetErrorMode 0x1", "dialog 101",
// "SHChangeNotify".
const std::vector<std::string>& ProcessEvents();
void LogProcessEvent(const std::string& event);

// The parts of Reset(), one per source file of the stand-in.
void ResetRegistry();
void ResetWindows();
void ResetProcess();
}
