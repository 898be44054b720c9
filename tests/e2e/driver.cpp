// Runs inside the test's Wine prefix, next to the program under test, and
// does what a person at the screen would: starts the program with an exact
// command line, finds its dialogs, reads what they show, types and clicks.
// The test script (test_program.py) calls one verb per run:
//
//   run EXE "COMMAND LINE"   start EXE with that exact command line; print
//                            "shown CLASS" for each top-level window it makes,
//                            "program-shown CLASS" for each one that another
//                            process named SettingsCleanup.exe makes (one
//                            that EXE starts), "started" once it waits for
//                            input (or has ended), and at the end
//                            "exit CODE 0xHEX"
//   run-hidden EXE "COMMAND LINE"   the same, on the desktop of a new window
//                            station, which no screen shows (a service's)
//   find TIMEOUT_MS [IMAGE]  wait for a visible dialog of a process named
//                            IMAGE (SettingsCleanup.exe unless given: an
//                            uninstaller's own questions are another's);
//                            describe it
//   gone HWND TIMEOUT_MS     wait until that window has closed
//   keys KEY...              type: RETURN, ESCAPE, TAB, ALT+Y, ... once a
//                            window of the program is active (10 s at most)
//   click X Y                left click at screen coordinates
//   close HWND               post the requests a close box or Alt+F4 sends
//   kill HWND                end the process that made that window at once,
//                            as a cancelled uninstaller or Task Manager does
//   dump ROOT PATH...        print registry subtrees (ROOT: HKCR or HKCU),
//                            each after a line "== ROOT PATH"
//   link ROOT PATH TROOT TPATH   make ROOT\PATH a registry link to TROOT\TPATH
//   delete ROOT PATH [NAME]  delete a subtree, each link in it as itself; with
//                            NAME (as for plant), the subkey NAME of ROOT\PATH
//   exists ROOT PATH...      print 1 or 0 for each key, on one line
//   key-gone ROOT PATH TIMEOUT_MS   wait until that key is gone; print
//                            "gone", or "still there" after the timeout
//   plant ROOT PATH NAME [DATA]   below ROOT\PATH, make the key NAME, or with
//                            DATA the REG_SZ value NAME, through the native
//                            calls; in NAME, %XXXX is one UTF-16 unit (%0000
//                            a NUL), as the A calls cannot write it
//   expand ROOT PATH NAME DATA...   set each REG_EXPAND_SZ value NAME of
//                            ROOT\PATH to DATA, as "reg add" does, one
//                            quadruple after another
//   hold                     keep the Wine desktop up until ended, and print
//                            "holding" once it is: without a window on it,
//                            it goes a second after the last program, and
//                            the next programs to start race for a new one
#include <windows.h>

#include "../support/native_names.h"
#include "../support/registry_dump.h"
#include "../support/registry_links.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace
{
std::vector<HWND> seenWindows;
DWORD startedProcess = 0;

DWORD ProcessOf(HWND window)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    return processId;
}

bool IsProcessNamed(DWORD processId, const char* image)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (process == nullptr)
        return false;
    char path[MAX_PATH] = "";
    DWORD size = sizeof path;
    bool named = QueryFullProcessImageNameA(process, 0, path, &size) != FALSE;
    CloseHandle(process);
    const char* file = std::strrchr(path, '\\');
    return named && file != nullptr && lstrcmpiA(file + 1, image) == 0;
}

// The program under test, whoever started it: an uninstaller's own window
// is a dialog too.
bool IsProgramProcess(DWORD processId)
{
    return IsProcessNamed(processId, "SettingsCleanup.exe");
}

// Creation events are caught even for windows that live too briefly for
// polling to see.
void CALLBACK OnWinEvent(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG, DWORD, DWORD)
{
    if (object != OBJID_WINDOW || window == nullptr || GetAncestor(window, GA_ROOT) != window)
        return;
    for (HWND seen : seenWindows)
    {
        if (seen == window)
            return;
    }
    const DWORD processId = ProcessOf(window);
    const char* kind = processId == startedProcess ? "shown" : IsProgramProcess(processId) ? "program-shown" : nullptr;
    if (kind == nullptr)
        return;
    seenWindows.push_back(window);
    char className[64] = "";
    GetClassNameA(window, className, sizeof className);
    std::printf("%s %s\n", kind, className);
    std::fflush(stdout);
}

// A window station of its own, not visible, as a service's is; its desktop
// "Default", as "STATION\Default" for STARTUPINFO. Both stay until the
// driver ends.
std::string HiddenDesktop()
{
    HWINSTA original = GetProcessWindowStation();
    HWINSTA station = CreateWindowStationA("ZZTestHidden", 0, WINSTA_ALL_ACCESS, nullptr);
    if (station == nullptr || !SetProcessWindowStation(station))
        return "";
    HDESK desktop = CreateDesktopA("Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    SetProcessWindowStation(original);
    return desktop == nullptr ? "" : "ZZTestHidden\\Default";
}

int Run(const char* exe, const char* commandLine, bool hidden = false)
{
    std::vector<char> line(commandLine, commandLine + std::strlen(commandLine) + 1);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::string desktop;
    if (hidden)
    {
        desktop = HiddenDesktop();
        if (desktop.empty())
        {
            std::printf("error hidden desktop %lu\n", GetLastError());
            return 2;
        }
        startup.lpDesktop = &desktop[0];
    }
    PROCESS_INFORMATION process;
    if (!CreateProcessA(exe, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &startup,
                        &process))
    {
        std::printf("error CreateProcess %lu\n", GetLastError());
        return 2;
    }
    startedProcess = process.dwProcessId;
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_SHOW, nullptr, OnWinEvent, 0, 0,
                                         WINEVENT_OUTOFCONTEXT);
    ResumeThread(process.hThread);
    // Whoever acts on the program's windows starts after this: a Wine
    // process started while the desktop is still being made gets another.
    WaitForInputIdle(process.hProcess, 10000);
    std::printf("started\n");
    std::fflush(stdout);
    // Events arrive as messages to this thread while it waits.
    while (MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0)
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    if (hook != nullptr)
        UnhookWinEvent(hook);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    // The code as a Windows parent reads it, 32 bits wide, and as a signed number.
    std::printf("exit %ld 0x%08lx\n", static_cast<long>(static_cast<LONG>(exitCode)),
                static_cast<unsigned long>(exitCode));
    return 0;
}

struct DialogSearch
{
    const char* image;
    HWND found;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM search)
{
    DialogSearch& sought = *reinterpret_cast<DialogSearch*>(search);
    char className[64] = "";
    GetClassNameA(window, className, sizeof className);
    if (std::strcmp(className, "#32770") == 0 && IsWindowVisible(window) &&
        IsProcessNamed(ProcessOf(window), sought.image))
    {
        sought.found = window;
        return FALSE;
    }
    return TRUE;
}

void PrintRect(const RECT& rect)
{
    std::printf(" rect %ld %ld %ld %ld", static_cast<long>(rect.left), static_cast<long>(rect.top),
                static_cast<long>(rect.right), static_cast<long>(rect.bottom));
}

// The text of another process's window, read without a message: the
// program answers none while it works between two drains of its queue.
void ReadText(HWND window, char* text, int size)
{
    wchar_t wide[512];
    int length = InternalGetWindowText(window, wide, 512);
    text[WideCharToMultiByte(CP_ACP, 0, wide, length, text, size - 1, nullptr, nullptr)] = '\0';
}

bool HasIcon(HWND control)
{
    DWORD_PTR icon = 0;
    return SendMessageTimeoutA(control, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 2000, &icon) && icon != 0;
}

BOOL CALLBACK DescribeChild(HWND child, LPARAM)
{
    char className[64] = "", text[512] = "";
    GetClassNameA(child, className, sizeof className);
    ReadText(child, text, sizeof text);
    RECT rect;
    GetWindowRect(child, &rect);
    std::printf("child %d %s", GetDlgCtrlID(child), className);
    PrintRect(rect);
    // An icon control's text is the icon's resource id, not text.
    LONG style = GetWindowLongA(child, GWL_STYLE);
    bool isIcon = std::strcmp(className, "Static") == 0 && (style & SS_TYPEMASK) == SS_ICON;
    std::printf(" style 0x%08lx visible %d icon %d text %s\n", static_cast<unsigned long>(style),
                IsWindowVisible(child) ? 1 : 0, isIcon && HasIcon(child) ? 1 : 0,
                isIcon ? "" : text);
    return TRUE;
}

int Find(DWORD timeout, const char* image)
{
    DialogSearch search = { image, nullptr };
    for (DWORD waited = 0; search.found == nullptr; waited += 50)
    {
        EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found == nullptr)
        {
            if (waited >= timeout)
            {
                std::printf("none\n");
                return 1;
            }
            Sleep(50);
        }
    }
    const HWND dialog = search.found;
    RECT rect;
    GetWindowRect(dialog, &rect);
    char title[256] = "";
    ReadText(dialog, title, sizeof title);
    std::printf("window %llu", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(dialog)));
    PrintRect(rect);
    std::printf(" style 0x%08lx exstyle 0x%08lx title [%s]\n", static_cast<unsigned long>(GetWindowLongA(dialog, GWL_STYLE)),
                static_cast<unsigned long>(GetWindowLongA(dialog, GWL_EXSTYLE)), title);
    std::printf("screen %d %d\n", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    GUITHREADINFO gui = {};
    gui.cbSize = sizeof gui;
    DWORD thread = GetWindowThreadProcessId(dialog, nullptr);
    if (GetGUIThreadInfo(thread, &gui) && gui.hwndFocus != nullptr)
        std::printf("focus %d\n", GetDlgCtrlID(gui.hwndFocus));
    else
        std::printf("focus none\n");
    EnumChildWindows(dialog, DescribeChild, 0);
    return 0;
}

HWND ParseWindow(const char* text)
{
    return reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::strtoull(text, nullptr, 10)));
}

int Gone(HWND window, DWORD timeout)
{
    for (DWORD waited = 0; IsWindow(window) && IsWindowVisible(window); waited += 50)
    {
        if (waited >= timeout)
        {
            std::printf("still there\n");
            return 1;
        }
        Sleep(50);
    }
    std::printf("gone\n");
    return 0;
}

WORD VirtualKey(const std::string& name)
{
    if (name == "RETURN")
        return VK_RETURN;
    if (name == "ESCAPE")
        return VK_ESCAPE;
    if (name == "TAB")
        return VK_TAB;
    if (name == "SPACE")
        return VK_SPACE;
    if (name == "ALT")
        return VK_MENU;
    if (name.size() == 1)
        return static_cast<WORD>(name[0]);
    return 0;
}

void Key(WORD key, bool up)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &input, sizeof input);
    Sleep(30);
}

// A person types once the program's window is the active one; on a busy
// machine Wine shows a window a while before it activates it.
void AwaitProgramInForeground()
{
    for (DWORD waited = 0; waited < 10000 && !IsProgramProcess(ProcessOf(GetForegroundWindow())); waited += 50)
        Sleep(50);
}

// "ALT+Y" holds Alt while Y goes down and up.
int Keys(int count, char** names)
{
    AwaitProgramInForeground();
    for (int i = 0; i < count; ++i)
    {
        std::string name = names[i];
        std::vector<WORD> held;
        size_t plus;
        while ((plus = name.find('+')) != std::string::npos)
        {
            held.push_back(VirtualKey(name.substr(0, plus)));
            name = name.substr(plus + 1);
        }
        for (WORD key : held)
            Key(key, false);
        Key(VirtualKey(name), false);
        Key(VirtualKey(name), true);
        for (auto key = held.rbegin(); key != held.rend(); ++key)
            Key(*key, true);
    }
    return 0;
}

// The pointer moves there first, as a hand on the mouse would move it.
// Every event carries the position: Wine may apply a bare button event at
// where the pointer was before the move.
int Click(int x, int y)
{
    const DWORD steps[] = { 0, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP };
    for (DWORD button : steps)
    {
        INPUT input = {};
        input.type = INPUT_MOUSE;
        input.mi.dx = MulDiv(x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
        input.mi.dy = MulDiv(y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
        input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | button;
        SendInput(1, &input, sizeof input);
        Sleep(100);
    }
    return 0;
}

int Close(HWND window)
{
    PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    PostMessageA(window, WM_CLOSE, 0, 0);
    return 0;
}

int Kill(HWND window)
{
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, ProcessOf(window));
    if (process == nullptr)
    {
        std::printf("error OpenProcess %lu\n", GetLastError());
        return 1;
    }
    const bool ended = TerminateProcess(process, 9) && WaitForSingleObject(process, 10000) == WAIT_OBJECT_0;
    CloseHandle(process);
    std::printf(ended ? "killed\n" : "still running\n");
    return ended ? 0 : 1;
}

HKEY Root(const char* name)
{
    return std::strcmp(name, "HKCR") == 0 ? HKEY_CLASSES_ROOT : HKEY_CURRENT_USER;
}

int Dump(int count, char** rootsAndPaths)
{
    for (int i = 0; i + 1 < count; i += 2)
    {
        std::printf("== %s %s\n%s", rootsAndPaths[i], rootsAndPaths[i + 1],
                    DumpRegistryTree(Root(rootsAndPaths[i]), rootsAndPaths[i + 1]).c_str());
    }
    return 0;
}

int Exists(int count, char** rootsAndPaths)
{
    for (int i = 0; i + 1 < count; i += 2)
    {
        HKEY key;
        bool exists = RegOpenKeyExA(Root(rootsAndPaths[i]), rootsAndPaths[i + 1], REG_OPTION_OPEN_LINK, KEY_READ,
                                    &key) == ERROR_SUCCESS;
        if (exists)
            RegCloseKey(key);
        std::printf(i == 0 ? "%d" : " %d", exists ? 1 : 0);
    }
    std::printf("\n");
    return 0;
}

int KeyGone(const char* root, const char* path, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;)
    {
        HKEY key;
        if (RegOpenKeyExA(Root(root), path, REG_OPTION_OPEN_LINK, KEY_READ, &key) != ERROR_SUCCESS)
            break;
        RegCloseKey(key);
        if (GetTickCount() - start >= timeoutMs)
        {
            std::printf("still there\n");
            return 1;
        }
        Sleep(10);
    }
    std::printf("gone\n");
    return 0;
}

int Hold()
{
    CreateWindowExA(0, "STATIC", "desktop holder", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    std::printf("holding\n");
    std::fflush(stdout);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0)
        DispatchMessageA(&msg);
    return 0;
}

// "%XXXX" is one UTF-16 unit; everything else stands for itself.
WideName ParseCountedName(const char* text)
{
    WideName name;
    for (const char* c = text; *c != '\0'; ++c)
    {
        if (*c == '%' && std::strlen(c) >= 5)
        {
            name += static_cast<WCHAR>(std::strtoul(std::string(c + 1, 4).c_str(), nullptr, 16));
            c += 4;
        }
        else
        {
            name += static_cast<WCHAR>(static_cast<unsigned char>(*c));
        }
    }
    return name;
}

int Plant(const char* root, const char* path, const char* name, const char* data)
{
    HKEY key;
    LONG status = RegCreateKeyExA(Root(root), path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (status == ERROR_SUCCESS)
    {
        HKEY planted;
        if (data != nullptr)
            status = SetStringByCountedName(key, ParseCountedName(name), data);
        else if ((status = CreateKeyByCountedName(key, ParseCountedName(name), &planted)) == ERROR_SUCCESS)
            RegCloseKey(planted);
        RegCloseKey(key);
    }
    std::printf("plant %ld\n", static_cast<long>(status));
    return status == ERROR_SUCCESS ? 0 : 1;
}

// A name read back through the A calls may not be the key's: NAME is
// opened by its whole name below ROOT\PATH.
int DeleteCounted(const char* root, const char* path, const char* name)
{
    HKEY key;
    if (RegOpenKeyExA(Root(root), path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return 1;
    DeleteSubkeyTreeSparingLinkTargets(key, ParseCountedName(name));
    RegCloseKey(key);
    return 0;
}

// Wine's "reg import" stores hex(2) data as ANSI text, so the sample's
// REG_EXPAND_SZ values come this way, faster than a "reg add" each.
int SetExpandStrings(int count, char** quadruples)
{
    LONG status = ERROR_SUCCESS;
    for (int i = 0; status == ERROR_SUCCESS && i + 3 < count; i += 4)
    {
        HKEY key;
        status = RegCreateKeyExA(Root(quadruples[i]), quadruples[i + 1], 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                 &key, nullptr);
        if (status != ERROR_SUCCESS)
            break;
        const WideName data = Widen(quadruples[i + 3]);
        status = RegSetValueExW(key, Widen(quadruples[i + 2]).c_str(), 0, REG_EXPAND_SZ,
                                reinterpret_cast<const BYTE*>(data.c_str()),
                                static_cast<DWORD>((data.size() + 1) * sizeof(WCHAR)));
        RegCloseKey(key);
    }
    std::printf("expand %ld\n", static_cast<long>(status));
    return status == ERROR_SUCCESS ? 0 : 1;
}

int Link(const char* root, const char* path, const char* targetRoot, const char* targetPath)
{
    const std::string target = KernelPath(Root(targetRoot), targetPath);
    LONG status = target.empty() ? ERROR_FILE_NOT_FOUND : CreateRegistryLink(Root(root), path, target);
    std::printf("link %ld\n", static_cast<long>(status));
    return status == ERROR_SUCCESS ? 0 : 1;
}
}  // namespace

int main(int argc, char** argv)
{
    std::string verb = argc > 1 ? argv[1] : "";
    if (verb == "run" && argc == 4)
        return Run(argv[2], argv[3]);
    if (verb == "run-hidden" && argc == 4)
        return Run(argv[2], argv[3], true);
    if (verb == "plant" && (argc == 5 || argc == 6))
        return Plant(argv[2], argv[3], argv[4], argc == 6 ? argv[5] : nullptr);
    if (verb == "find" && (argc == 3 || argc == 4))
        return Find(std::strtoul(argv[2], nullptr, 10), argc == 4 ? argv[3] : "SettingsCleanup.exe");
    if (verb == "gone" && argc == 4)
        return Gone(ParseWindow(argv[2]), std::strtoul(argv[3], nullptr, 10));
    if (verb == "keys" && argc >= 3)
        return Keys(argc - 2, argv + 2);
    if (verb == "click" && argc == 4)
        return Click(std::atoi(argv[2]), std::atoi(argv[3]));
    if (verb == "close" && argc == 3)
        return Close(ParseWindow(argv[2]));
    if (verb == "kill" && argc == 3)
        return Kill(ParseWindow(argv[2]));
    if (verb == "dump" && argc >= 4 && argc % 2 == 0)
        return Dump(argc - 2, argv + 2);
    if (verb == "expand" && argc >= 6 && (argc - 2) % 4 == 0)
        return SetExpandStrings(argc - 2, argv + 2);
    if (verb == "hold" && argc == 2)
        return Hold();
    if (verb == "exists" && argc >= 4 && argc % 2 == 0)
        return Exists(argc - 2, argv + 2);
    if (verb == "key-gone" && argc == 5)
        return KeyGone(argv[2], argv[3], std::strtoul(argv[4], nullptr, 10));
    if (verb == "link" && argc == 6)
        return Link(argv[2], argv[3], argv[4], argv[5]);
    if (verb == "delete" && argc == 4)
    {
        DeleteTreeSparingLinkTargets(Root(argv[2]), argv[3]);
        return 0;
    }
    if (verb == "delete" && argc == 5)
        return DeleteCounted(argv[2], argv[3], argv[4]);
    std::fprintf(stderr, "usage: see the comment at the top of driver.cpp\n");
    return 2;
}
