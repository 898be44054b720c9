// WinMain and the two dialog procedures, with dialogs answered by script.
#include "../../app/app.h"
#include "../../cleanup/cleanup.h"
#include "../../res/resource.h"
#include "stand_in.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>
#include <vector>

extern "C" void ProgramEntry();

namespace
{
class RunSequenceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        StandIn::Reset();
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Classes\\TSO5.Image\\shell", 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, &key, nullptr));
        RegCloseKey(key);
    }

    int Run(const char* tail)
    {
        std::string writable = tail;
        return WinMain(nullptr, nullptr, &writable[0], SW_SHOWDEFAULT);
    }

    bool CleanupRan()
    {
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Classes\\TSO5.Image", 0, KEY_READ, &key) != ERROR_SUCCESS)
            return true;
        RegCloseKey(key);
        return false;
    }

    size_t AssociationNotices()
    {
        size_t count = 0;
        for (const StandIn::ShellNotification& notice : StandIn::ShellNotifications())
        {
            EXPECT_EQ(SHCNE_ASSOCCHANGED, notice.event);
            EXPECT_EQ(static_cast<UINT>(SHCNF_IDLIST), notice.flags);
            EXPECT_EQ(nullptr, notice.item1);
            EXPECT_EQ(nullptr, notice.item2);
            EXPECT_EQ(StandIn::DeletedKeys().size(), notice.keysDeletedBefore) << "told before the cleanup ended";
            ++count;
        }
        return count;
    }
};

const WPARAM StartCommand = CMD_START_CLEANUP;
const std::string SystemFolder = StandIn::SystemDirectory();

// The events of a run up to the first dialog.
std::vector<std::string> BeforeTheFirstDialog()
{
    std::vector<std::string> events;
    for (const std::string& event : StandIn::ProcessEvents())
    {
        if (event.rfind("dialog ", 0) == 0)
            break;
        events.push_back(event);
    }
    return events;
}

const char* const OnDemandDlls[] = { "uxtheme.dll", "dwmapi.dll",  "version.dll", "cryptbase.dll", "userenv.dll",
                                     "setupapi.dll", "apphelp.dll", "propsys.dll", "oleacc.dll",    "clbcatq.dll" };
}  // namespace

TEST_F(RunSequenceTest, WrongTailEndsAtOnceWithMinusOne)
{
    for (const char* tail : { "", "-unwise ", " -unwise", "-unwise x", "/unwise", "-unwis", "unwise", "-unwisee" })
    {
        EXPECT_EQ(-1, Run(tail)) << "[" << tail << "]";
    }
    EXPECT_TRUE(StandIn::DialogsRun().empty());
    EXPECT_FALSE(CleanupRan());
    EXPECT_EQ(0u, AssociationNotices());
}

TEST_F(RunSequenceTest, DecliningOrNoQuestionKeepsEverything)
{
    StandIn::ScriptDialog(IDD_CONFIRM, { IDCANCEL });
    EXPECT_EQ(0, Run("-UnWise"));
    StandIn::FailDialog(IDD_CONFIRM);
    EXPECT_EQ(0, Run("-UNWISE"));
    EXPECT_EQ((std::vector<int>{ IDD_CONFIRM, IDD_CONFIRM }), StandIn::DialogsRun());
    EXPECT_FALSE(CleanupRan());
    EXPECT_EQ(0u, AssociationNotices());
}

TEST_F(RunSequenceTest, AcceptingShowsTheNoticeRunsTheCleanupAndTellsTheShellOnce)
{
    StandIn::ScriptDialog(IDD_CONFIRM, { IDOK });
    EXPECT_EQ(1, Run("-unwise"));
    EXPECT_EQ((std::vector<int>{ IDD_CONFIRM, IDD_PROGRESS }), StandIn::DialogsRun());
    // The question's first tab stop is No (see exe_layout_tests).
    EXPECT_EQ((std::vector<bool>{ true, true }), StandIn::FirstTabStopFocused()) << "focus left unset";
    EXPECT_TRUE(CleanupRan());
    EXPECT_EQ(1u, AssociationNotices());
    // Both dialogs were centred.
    EXPECT_EQ(2u, StandIn::WindowMoves().size());
    EXPECT_EQ(0, StandIn::ClassesRootCallCount()) << "Windows would have merged both class stores";
}

TEST_F(RunSequenceTest, WithoutAdministratorRightsTheUsersCopiesGoAndItExitsOne)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Classes\\TSO5.Image\\shell", 0, nullptr,
                                             0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    RegCloseKey(key);
    StandIn::DenyWriteAccess(HKEY_LOCAL_MACHINE, "Software\\Classes");
    StandIn::ScriptDialog(IDD_CONFIRM, { IDOK });

    EXPECT_EQ(1, Run("-unwise"));
    EXPECT_FALSE(CleanupRan()) << "the machine's copy stays";
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Classes\\TSO5.Image", 0, KEY_READ, &key));
    EXPECT_EQ(1u, AssociationNotices());
}

TEST_F(RunSequenceTest, CleanupStillRunsWhenTheNoticeCannotBeShown)
{
    StandIn::ScriptDialog(IDD_CONFIRM, { IDOK });
    StandIn::FailDialog(IDD_PROGRESS);
    EXPECT_EQ(1, Run("-unwise"));
    EXPECT_TRUE(CleanupRan());
    EXPECT_EQ(1u, AssociationNotices());
}

TEST_F(RunSequenceTest, CleanupStillRunsAndExitsOneWhenTheShellCannotBeLoaded)
{
    StandIn::RemoveLibrary("shell32.dll");
    StandIn::ScriptDialog(IDD_CONFIRM, { IDOK });
    EXPECT_EQ(1, Run("-unwise"));
    EXPECT_TRUE(CleanupRan());
    EXPECT_EQ(0u, AssociationNotices());
}

TEST_F(RunSequenceTest, EntryHandsWinMainTheTailAndExitsWithItsResult)
{
    const char* const program = "\"C:\\Program Files\\Orlo\\SettingsCleanup.exe\" -unwise";
    // Where the process runs: a person at the screen, or no one who could
    // answer (a service's window station; session 0, services' own since
    // Vista, the console's before it).
    const struct Place
    {
        const char* what;
        DWORD stationFlags;
        bool stationReadable;
        BYTE windowsMajor, windowsMinor;
        DWORD session;
        bool hasSessionLookup;
    } screen{ "a person's screen", WSF_VISIBLE, true, 10, 0, 1, true },
        service{ "a service's window station", 0, true, 10, 0, 1, true },
        isolated{ "session 0 on Windows 10", WSF_VISIBLE, true, 10, 0, 0, true },
        vista{ "session 0 on Windows Vista", WSF_VISIBLE, true, 6, 0, 0, true },
        xpConsole{ "session 0 on Windows XP", WSF_VISIBLE, true, 5, 1, 0, true },
        win2000Console{ "session 0 on Windows 2000", WSF_VISIBLE, true, 5, 0, 0, true },
        nt4{ "Windows NT 4.0, no sessions", WSF_VISIBLE, true, 4, 0, 0, false },
        unreadable{ "flags that cannot be read", 0, false, 10, 0, 1, true };
    const struct
    {
        const char* commandLine;
        const Place& place;
        WPARAM answer;  // 0: the question must not be asked
        UINT exitCode;
    } cases[] = {
        { program, screen, IDOK, 1 },
        { "\"C:\\Program Files\\Orlo\\SettingsCleanup.exe\"-UNWISE", screen, IDCANCEL, 0 },
        { "SettingsCleanup.exe \t-unwise", screen, IDCANCEL, 0 },
        { "\"C:\\Program Files\\Orlo\\SettingsCleanup.exe\"", screen, 0, 0xFFFFFFFF },
        { "SettingsCleanup.exe -unwise x", screen, 0, 0xFFFFFFFF },
        { program, service, 0, 0 },
        { program, isolated, 0, 0 },
        { program, vista, 0, 0 },
        { "SettingsCleanup.exe -unwise x", service, 0, 0xFFFFFFFF },
        { "SettingsCleanup.exe", isolated, 0, 0xFFFFFFFF },
        { program, xpConsole, IDOK, 1 },
        { program, win2000Console, IDCANCEL, 0 },
        { program, nt4, IDOK, 1 },
        { program, unreadable, IDOK, 1 },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string(c.commandLine) + " on " + c.place.what);
        StandIn::Reset();
        StandIn::SetWindowStation(c.place.stationFlags, c.place.stationReadable);
        StandIn::SetWindows(c.place.windowsMajor, c.place.windowsMinor, c.place.session);
        if (!c.place.hasSessionLookup)
            StandIn::RemoveKernel32Function("ProcessIdToSessionId");
        StandIn::SetCommandLine(c.commandLine);
        if (c.answer != 0)
            StandIn::ScriptDialog(IDD_CONFIRM, { c.answer });
        ProgramEntry();
        EXPECT_EQ(std::vector<UINT>{ c.exitCode }, StandIn::ExitCodes());
        EXPECT_EQ(c.answer != 0, !StandIn::DialogsRun().empty());
        if (c.answer == 0)
        {
            EXPECT_EQ(0, StandIn::RegistryCallCount()) << "the registry was touched";
        }
    }
}

TEST_F(RunSequenceTest, EntryRestrictsTheDllSearchBeforeAnythingElse)
{
    StandIn::SetCommandLine("SettingsCleanup.exe -unwise");
    StandIn::ScriptDialog(IDD_CONFIRM, { IDOK });
    ProgramEntry();
    EXPECT_EQ((std::vector<std::string>{ "SetDefaultDllDirectories 0x800" }), BeforeTheFirstDialog());
    // SHELL32 comes last, from the system folder alone.
    ASSERT_GE(StandIn::ProcessEvents().size(), 3u);
    EXPECT_EQ((std::vector<std::string>{ "dialog 102", "LoadLibraryExA shell32.dll 0x800", "SHChangeNotify" }),
              std::vector<std::string>(StandIn::ProcessEvents().end() - 3, StandIn::ProcessEvents().end()));
    EXPECT_EQ(std::vector<UINT>{ 1 }, StandIn::ExitCodes());
}

TEST_F(RunSequenceTest, OlderWindowsPreloadFromTheSystemFolderByFullPathBeforeTheFirstDialog)
{
    // The second starts from an installer's error mode, which must be the
    // process's again before anything can fault behind a dialog.
    const UINT installerErrorMode = SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX;
    for (bool hasSetDllDirectory : { true, false })
    {
        SCOPED_TRACE(hasSetDllDirectory ? "Windows XP SP1 to 7" : "Windows NT 4.0 to XP before SP1");
        const UINT inherited = hasSetDllDirectory ? 0 : installerErrorMode;
        StandIn::Reset();
        StandIn::InheritErrorMode(inherited);
        StandIn::RemoveKernel32Function("SetDefaultDllDirectories");
        if (!hasSetDllDirectory)
            StandIn::RemoveKernel32Function("SetDllDirectoryA");
        StandIn::RemoveLibrary("propsys.dll");  // not on this Windows: passed over
        StandIn::SetCommandLine("SettingsCleanup.exe -unwise");
        StandIn::ScriptDialog(IDD_CONFIRM, { IDOK });
        ProgramEntry();

        std::vector<std::string> expected;
        if (hasSetDllDirectory)
            expected.push_back("SetDllDirectoryA []");
        expected.push_back("SetErrorMode 0x1");
        for (const char* dll : OnDemandDlls)
            expected.push_back("LoadLibraryExA " + SystemFolder + "\\" + dll + " 0x8");
        expected.push_back(inherited == 0 ? "SetErrorMode 0x0" : "SetErrorMode 0x3");
        EXPECT_EQ(expected, BeforeTheFirstDialog());
        EXPECT_EQ(inherited, StandIn::ErrorMode());
        ASSERT_GE(StandIn::ProcessEvents().size(), 2u);
        EXPECT_EQ("LoadLibraryExA " + SystemFolder + "\\shell32.dll 0x8", StandIn::ProcessEvents().end()[-2]);
        EXPECT_EQ(1u, AssociationNotices());
        EXPECT_EQ(std::vector<UINT>{ 1 }, StandIn::ExitCodes());
    }
}

TEST_F(RunSequenceTest, ConfirmationAnswersOnlyWholeYesAndNoCommands)
{
    // A notification code in the high word, or another control, is not an
    // answer; the dialog stays until Yes.
    StandIn::ScriptDialog(IDD_CONFIRM, { (1u << 16) | IDOK, (1u << 16) | IDCANCEL, 3, StartCommand, IDOK });
    EXPECT_EQ(1, DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_CONFIRM), nullptr, ConfirmDialogProc, 0));
    StandIn::ScriptDialog(IDD_CONFIRM, { IDCANCEL });
    EXPECT_EQ(2, DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_CONFIRM), nullptr, ConfirmDialogProc, 0));
    EXPECT_FALSE(CleanupRan());
}

TEST_F(RunSequenceTest, NoticeRunsTheCleanupOnceFromItsOwnStartCommand)
{
    EXPECT_EQ(1, DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_PROGRESS), nullptr, ProgressDialogProc, 0));
    EXPECT_TRUE(CleanupRan());
    ASSERT_FALSE(StandIn::DispatchedMessages().empty());
    const MSG& start = StandIn::DispatchedMessages().front();
    EXPECT_EQ(static_cast<UINT>(WM_COMMAND), start.message);
    EXPECT_EQ(StartCommand, start.wParam);
    EXPECT_EQ(0, start.lParam);
    int starts = 0;
    for (const MSG& msg : StandIn::DispatchedMessages())
        starts += msg.message == WM_COMMAND && msg.wParam == StartCommand ? 1 : 0;
    EXPECT_EQ(1, starts);
}

TEST_F(RunSequenceTest, NoticeCannotBeCancelled)
{
    HWND notice = StandIn::MakeWindow(RECT{ 0, 0, 300, 40 });
    EXPECT_FALSE(ProgressDialogProc(notice, WM_COMMAND, IDCANCEL, 0));
    EXPECT_FALSE(ProgressDialogProc(notice, WM_COMMAND, IDOK, 0));
    EXPECT_FALSE(CleanupRan());
}

TEST_F(RunSequenceTest, NoticeDoesTheWorkAtOnceWhenItsStartCannotBePosted)
{
    StandIn::FailPostMessage(true);
    EXPECT_EQ(1, DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_PROGRESS), nullptr, ProgressDialogProc, 0));
    EXPECT_TRUE(CleanupRan());
}
