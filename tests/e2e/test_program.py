#!/usr/bin/env python3
"""End-to-end tests: the real SettingsCleanup.exe under Wine, on a virtual
display and in a prefix of their own, driven with keyboard and mouse, with
its dialogs read off the screen and the registry read back.

    test_program.py BUILD_DIR [TEST...]   (the win32 build folder: the
                                   product; or the win64 one: its 64-bit
                                   twin; TEST: run only these, by method name)

Writes BUILD_DIR/results/e2e_tests.xml and screenshots to BUILD_DIR/artifacts.
"""
import concurrent.futures
import contextlib
import os
import pwd
import re
import shutil
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import sample_registry  # noqa: E402
from wine_session import COSTS, WINE, Dialog, WineSession, wait_until, windows_path  # noqa: E402

BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else ".")
HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.join(HERE, "..", "..")
# The drop-in files the kit ships, which the installer cases build in.
KIT = os.path.join(ROOT, "kit")
ARTIFACTS = os.path.join(BUILD, "artifacts")
session = None

WS_CAPTION = 0x00C00000
WS_SYSMENU = 0x00080000
DS_MODALFRAME = 0x80
IDOK, IDCANCEL, IDYES, STATIC = 1, 2, 6, 65535

PARAGRAPHS = [
    "Do you want to remove all file associations and user preferences for Tessaro 5 from your system?",
    "You may want to leave them if you are installing a licensed version after trying the evaluation or you "
    "are planning to reinstall a licensed version of Tessaro 5.",
    'Click "Yes" to remove the settings. Click "No" to keep them on your system.',
]
NOTICE = "Your system is being updated.  Please wait..."

# Every DLL that the program's process loads under Wine (WINEDEBUG=+loaddll;
# both builds; wrong command line, No and Yes), and those that Windows loads
# on demand into a dialog program. Planted where a user can write, none may
# ever load.
PLANTED_DLLS = [
    "advapi32.dll", "combase.dll", "gdi32.dll", "imm32.dll", "kernel32.dll", "kernelbase.dll", "msvcrt.dll",
    "ntdll.dll", "ole32.dll", "rpcrt4.dll", "sechost.dll", "shcore.dll", "shell32.dll", "shlwapi.dll",
    "ucrtbase.dll", "user32.dll", "uxtheme.dll", "version.dll", "win32u.dll", "winex11.drv", "zlib1.dll",
    "dwmapi.dll", "cryptbase.dll", "userenv.dll", "setupapi.dll", "apphelp.dll", "propsys.dll", "oleacc.dll",
    "clbcatq.dll",
]


def setUpModule():
    global session
    session = WineSession(os.path.join(BUILD, "e2e-prefix"), BUILD)
    session.start()


def tearDownModule():
    session.stop()


# Windows that Wine's user32 and ole32 make in every GUI process; never shown.
HELPER_WINDOWS = {"IME", "OleMainThreadWndClass"}


def dialogs_made(run):
    return [name for name in run.shown if name not in HELPER_WINDOWS]


def truncated_half(value):
    """Integer division by two towards zero, as the program computes it."""
    return int(value / 2)


def value_name(line):
    """The name of a value in a line of a .reg file: "" for the default."""
    if line.startswith("@="):
        return ""
    name = line[1:line.index('"=')]
    return name.replace('\\"', '"').replace("\\\\", "\\")


RESULT = os.path.join(BUILD, "nsis", "result.txt")

# The cases whose outcome can depend on the program's bitness; the 64-bit
# twin runs these alone, the product every case.
TWIN_CASES = [
    "test_wrong_command_lines_exit_minus_one_without_a_window",  # -1 as a parent reads a 64-bit exit code
    "test_removes_exactly_what_a_64_bit_installer_wrote",  # the registry view the program works in
    "test_no_planted_dll_is_ever_loaded",  # what a 64-bit process loads, and from where
    "test_uninstaller_runs_the_program_and_then_removes_its_files",  # an amd64 uninstaller's ExecWait
]


def program_machine(exe):
    """The PE machine of `exe`: 0x14C for i386, 0x8664 for x86-64."""
    with open(exe, "rb") as f:
        header = f.read(4096)
    return int.from_bytes(header[int.from_bytes(header[0x3C:0x40], "little") + 4:][:2], "little")


def build_installer():
    """An NSIS installer of this build's program, for the same processor,
    whose uninstaller runs it; the uninstaller writes the exit code it got
    to RESULT."""
    target = {0x14C: "x86-unicode", 0x8664: "amd64-unicode"}[program_machine(session.exe)]
    folder = os.path.dirname(RESULT)
    os.makedirs(folder, exist_ok=True)
    commands = os.path.join(folder, "sample.nsh")
    with open(commands, "w") as f:
        f.write(sample_registry.installer_commands() + "\n")
    setup = os.path.join(folder, "tessaro-install.exe")
    subprocess.run(["makensis", "-V2", "-DTARGET=" + target, "-DPRODUCT=" + session.exe, "-DSAMPLE=" + commands,
                    "-DRESULT=" + windows_path(RESULT), "-DOUTFILE=" + setup,
                    os.path.join(HERE, "uninstaller.nsi")],
                   check=True, stdout=subprocess.DEVNULL, timeout=120)
    return setup


def build_package():
    """A Windows Installer package of this build's program whose removal runs
    it, built as the guide tells an author to: wixl in a folder that holds
    the program and the WiX sources."""
    folder = os.path.join(BUILD, "msi")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    shutil.copy(os.path.join(HERE, "package.wxs"), folder)
    shutil.copy(os.path.join(KIT, "uninstall_action.wxi"), folder)
    shutil.copy(session.exe, folder)
    subprocess.run(["wixl", "-o", "package.msi", "package.wxs"], cwd=folder, check=True, timeout=120)
    return os.path.join(folder, "package.msi")


def install_execute_sequence(package):
    """{action: sequence number} of a built package."""
    table = subprocess.run(["msiinfo", "export", package, "InstallExecuteSequence"], capture_output=True, text=True,
                           check=True, timeout=60).stdout
    # A header of three lines: names, types, the table's name and key.
    return {row.split("\t")[0]: int(row.split("\t")[2]) for row in table.splitlines()[3:]}


# Inno Setup's own compiler, which scripts/install-packages installs from
# the npm registry.
ISCC = os.path.join(ROOT, "build", "innosetup", "node_modules", "innosetup", "bin", "ISCC.exe")
INNO_LOG = os.path.join(BUILD, "inno", "uninstall.log")


def build_inno_setup(form="[Code]"):
    """An Inno Setup setup of this build's program, compiled by Inno Setup's
    own compiler; its uninstaller runs the program as the guide's [Code]
    sample does, as its [UninstallRun] entry does, or (form "upgrade") as
    the [Code] sample does in a later version of a setup that had the
    entry."""
    if not os.path.exists(ISCC):
        raise RuntimeError("no Inno Setup compiler at %s: scripts/install-packages installs it" % ISCC)
    folder = os.path.dirname(INNO_LOG)
    os.makedirs(folder, exist_ok=True)
    name, options = {"[Code]": ("tessaro-code", []), "[UninstallRun]": ("tessaro-uninstallrun", ["/DUNINSTALL_RUN"]),
                     "upgrade": ("tessaro-upgrade", ["/DUPGRADE"])}[form]
    script = windows_path(os.path.join(HERE, "setup.iss"))
    status, output = session.wine(ISCC, "/Q", "/DPRODUCT=" + windows_path(session.exe), *options,
                                  "/O" + windows_path(folder), "/F" + name, script, timeout=300)
    if status != 0:
        raise RuntimeError("ISCC failed (status %d): %s" % (status, output))
    return os.path.join(folder, name + ".exe")


def inno_log():
    """The uninstaller's log once it is closed: the last thing its second
    phase, the copy in a temporary folder, does; "" until then."""
    if not os.path.exists(INNO_LOG):
        return ""
    with open(INNO_LOG, encoding="utf-8-sig", errors="replace") as f:
        text = f.read()
    return text if "Log closed." in text else ""


# The account every Wine program runs as, under a name of its own.
WINE_USER = pwd.getpwuid(os.getuid()).pw_name
# Another account owns the session: the same user name, but another
# computer's or domain's.
ANOTHER_OWNER = "ELSEWHERE\\" + WINE_USER


@contextlib.contextmanager
def session_owner_stand_in():
    """Puts the tests' own wtsapi32.dll (session_owner_wtsapi32.cpp) in the
    prefix's system folder of this build's bitness for the time of the
    block. Only a process started with owner_environment(owner) loads it;
    every other keeps Wine's."""
    system = "syswow64" if program_machine(session.exe) == 0x14C else "system32"
    path = os.path.join(session.prefix, "drive_c", "windows", system, "wtsapi32.dll")
    with open(path, "rb") as f:
        wines = f.read()
    shutil.copy(os.path.join(BUILD, "tests", "wtsapi32.dll"), path)
    try:
        yield
    finally:
        with open(path, "wb") as f:
            f.write(wines)


def owner_environment(owner):
    """An uninstaller's extra environment: None for Wine's own wtsapi32.dll,
    whose session is always the account's own; otherwise the stand-in's,
    saying the session belongs to `owner`, or failing where that is ""."""
    if owner is None:
        return {}
    environment = {"WINEDLLOVERRIDES": session.env["WINEDLLOVERRIDES"] + ";wtsapi32=n"}
    if owner:
        environment["SESSION_OWNER"] = owner
    return environment


def recorded():
    """What the uninstaller wrote to RESULT so far."""
    if not os.path.exists(RESULT):
        return ""
    with open(RESULT) as f:
        return f.read()


def pixels(path, rect):
    """(r, g, b) of every pixel of `rect` = (left, top, right, bottom) in a screenshot."""
    left, top, right, bottom = rect
    raw = subprocess.run(["convert", path, "-crop", "%dx%d+%d+%d" % (right - left, bottom - top, left, top),
                          "+repage", "rgb:-"], capture_output=True, check=True).stdout
    return [tuple(raw[i:i + 3]) for i in range(0, len(raw), 3)]


class ProgramTest(unittest.TestCase):
    def setUp(self):
        self.run_ = None
        sample_registry.seed(session)

    def tearDown(self):
        # A program still running after a failed test would confuse the next.
        if self.run_ is not None and self.run_.process.poll() is None:
            self.run_.kill()
            session.end_wine()

    def start(self, tail="-unwise", raw=None):
        self.run_ = session.start_program(command_line_tail=tail, raw_command_line=raw, trace_shell=True)
        return self.run_

    def registry(self):
        return session.dump(*sample_registry.WATCHED)

    def confirm_dialog(self):
        dialog = session.find_dialog()
        self.assertIsNotNone(dialog, "the confirmation dialog did not appear")
        self.assertEqual("&Yes", dialog.control(IDOK)["text"])
        return dialog

    def answer(self, dialog, answer):
        """Keys such as "ALT+Y", or "click Yes" / "click No" on the button."""
        if answer.startswith("click "):
            button = {"Yes": IDOK, "No": IDCANCEL}[answer[6:]]
            session.driver("click", *map(str, dialog.centre_of(button)))
        else:
            session.driver("keys", answer)

    def assertCentred(self, dialog):
        left, top, right, bottom = dialog.rect
        width, height = dialog.screen
        self.assertEqual((truncated_half(left - right + width), truncated_half(top - bottom + height)),
                         (left, top), f"dialog at {dialog.rect} on a {width}x{height} screen")

    def assertCaptionless(self, dialog):
        self.assertEqual(0, dialog.style & WS_CAPTION, hex(dialog.style))
        self.assertEqual(0, dialog.style & WS_SYSMENU, hex(dialog.style))
        self.assertEqual(DS_MODALFRAME, dialog.style & DS_MODALFRAME, hex(dialog.style))
        self.assertEqual("", dialog.title)

    # --- the command line ---

    def test_wrong_command_lines_exit_minus_one_without_a_window(self):
        before = self.registry()
        program = '"%s"' % windows_path(session.exe)
        for command_line in [program, program + " -unwise ", program + " -unwise x", program + " /unwise",
                             program + " unwise", program + " -unwis", program + " -unwisex"]:
            with self.subTest(command_line=command_line):
                run = self.start(raw=command_line)
                self.assertEqual(-1, run.wait(timeout=60))
                self.assertEqual(0xFFFFFFFF, run.raw_exit_code, "as a Windows parent process reads it")
                self.assertEqual([], dialogs_made(run))
                self.assertEqual(0, run.shell_notifications)
        self.assertEqual(before, self.registry())

    def test_wine_reports_minus_one_as_255(self):
        result = subprocess.run([WINE, session.exe], env=session.env, capture_output=True, timeout=60)
        self.assertEqual(255, result.returncode)

    def test_argument_in_any_case_and_after_a_quoted_path_runs(self):
        program = windows_path(session.exe)
        for command_line in ['"%s" -UNWISE' % program, '"%s" -UnWise' % program, '"%s"-unwise' % program,
                             "%s  \t-unwise" % program]:
            with self.subTest(command_line=command_line):
                run = self.start(raw=command_line)
                self.confirm_dialog()
                session.driver("keys", "ESCAPE")
                self.assertEqual(0, run.wait())
                self.assertEqual(["#32770"], dialogs_made(run))

    def test_where_nobody_can_see_the_question_it_ends_at_once_with_zero(self):
        before = self.registry()
        run = self.start_hidden("-unwise")
        self.assertEqual(0, run.wait(timeout=60), "still waiting for an answer nobody can give")
        self.assertEqual([], dialogs_made(run))
        self.assertEqual(0, run.shell_notifications)
        self.assertEqual(-1, self.start_hidden("-unwise x").wait(timeout=60), "the command line comes first")
        self.assertEqual(before, self.registry())

    def start_hidden(self, tail):
        self.run_ = session.start_program(command_line_tail=tail, trace_shell=True, hidden=True)
        return self.run_

    # --- the confirmation dialog ---

    def test_confirmation_dialog_shows_the_question(self):
        run = self.start()
        dialog = self.confirm_dialog()
        self.assertCaptionless(dialog)
        self.assertCentred(dialog)
        self.assertEqual(IDCANCEL, dialog.focus, "the focus starts on No")
        self.assertEqual("&No", dialog.control(IDCANCEL)["text"])
        self.assertGreater(dialog.control(IDCANCEL)["rect"][0], dialog.control(IDOK)["rect"][2], "No is right of Yes")
        texts = [c["text"] for c in dialog.controls if c["id"] == STATIC and not c["icon"]]
        self.assertEqual(PARAGRAPHS, texts)
        icons = [c for c in dialog.controls if c["icon"]]
        self.assertEqual(1, len(icons))

        shot = session.screenshot(os.path.join(ARTIFACTS, "confirm.png"))
        session.screenshot(os.path.join(ARTIFACTS, "confirm-dialog.png"), crop=dialog.rect)
        # The icon's red badge and the paragraphs' dark text are on screen.
        red = [p for p in pixels(shot, icons[0]["rect"]) if p[0] > 150 and p[1] < 90 and p[2] < 90]
        self.assertGreater(len(red), 10, "no icon drawn")
        for control in dialog.controls:
            if control["id"] == STATIC and not control["icon"]:
                dark = [p for p in pixels(shot, control["rect"]) if sum(p) < 200]
                self.assertGreater(len(dark), 50, "text not drawn: " + control["text"])

        session.driver("keys", "ESCAPE")
        self.assertEqual(0, run.wait())

    def test_declining_keeps_everything(self):
        before = self.registry()
        for answer in ["RETURN", "ESCAPE", "ALT+N", "click No"]:
            with self.subTest(answer=answer):
                run = self.start()
                self.answer(self.confirm_dialog(), answer)
                self.assertEqual(0, run.wait())
                self.assertEqual(0, run.shell_notifications)
                self.assertEqual(["#32770"], dialogs_made(run), "no progress notice")
        self.assertEqual(before, self.registry())

    def test_accepting_removes_the_settings_and_tells_the_shell(self):
        for answer in ["ALT+Y", "click Yes"]:
            with self.subTest(answer=answer):
                sample_registry.seed(session)
                before = self.registry()
                run = self.start()
                self.answer(self.confirm_dialog(), answer)
                self.assertEqual(1, run.wait())
                self.assertEqual(1, run.shell_notifications)
                self.assertEqual(["#32770", "#32770"], dialogs_made(run), "question, then notice")
                self.assertEqual(sample_registry.expected_after_cleanup(before), self.registry())

    def test_accepting_with_nothing_to_remove_still_exits_one(self):
        session.import_reg(sample_registry.removal_reg())
        run = self.start()
        self.confirm_dialog()
        session.driver("keys", "ALT+Y")
        self.assertEqual(1, run.wait())
        self.assertEqual(1, run.shell_notifications)

    def test_links_among_the_settings_go_as_links(self):
        # Each link points outside the plan; the .zzslink extension at a
        # class whose default value names a planned class.
        links = [("HKCU", "software\\Orlo\\Tessaro 5\\Linked", "HKCU", "software\\ZZSample.Victim"),
                 ("HKCR", "TSO5.Image\\Linked", "HKCR", "ZZSample.MachineVictim"),
                 ("HKCR", ".zzslink", "HKCR", "ZZSample.MachineVictim")]
        kept = [("HKCU", "software\\ZZSample.Victim"), ("HKCR", "ZZSample.MachineVictim"), ("HKCR", ".zzslink")]

        def remove():
            for root, path in [link[:2] for link in links] + kept:
                session.driver("delete", root, path)

        remove()
        try:
            session.import_reg("\n".join([
                "[HKEY_CURRENT_USER\\software\\ZZSample.Victim\\Deep]", '"Keep"="yes"',
                "[HKEY_CLASSES_ROOT\\ZZSample.MachineVictim]", '@="TSO5.Image"']))
            for link in links:
                self.assertEqual("link 0\n", session.driver("link", *link), link)
            before, victims = self.registry(), session.dump(*kept)
            run = self.start()
            self.answer(self.confirm_dialog(), "ALT+Y")
            self.assertEqual(1, run.wait())
            self.assertEqual(victims, session.dump(*kept))
            self.assertEqual(sample_registry.expected_after_cleanup(before), self.registry())
        finally:
            remove()

    def test_names_the_ansi_calls_cannot_give_back_stop_only_their_own_tree(self):
        # A subkey named NUL + "hidden" reads back as "", which opens its
        # parent again; each value's name reads back as the one beside it.
        # An extension key named ".zzfit" + FULLWIDTH REVERSE SOLIDUS +
        # "shell" reads back as ".zzfit\\shell", a path through the link
        # ".zzfit" beside it, into a victim whose shell key names a class.
        hidden = "%0000hidden"
        user_image = sample_registry.USER_CLASSES + "TSO5.Image"
        planted_keys = [("HKCU", user_image), ("HKCR", "TSO5.Bild"), ("HKCU", "software\\Orlo\\Tessaro 5\\Toolbars")]
        extensions = [("HKCR", ".zzhide"), ("HKCU", sample_registry.USER_CLASSES + ".zzhide")]
        fit_link, fit_victim = ("HKCU", sample_registry.USER_CLASSES + ".zzfit"), ("HKCU", "software\\ZZSample.FitVictim")
        through_the_link = ".zzfit%FF3Cshell"
        try:
            self.assertIn("plant 0", session.driver("plant", "HKCU", fit_victim[1] + "\\shell", "", "TSO5.Image"))
            self.assertEqual("link 0\n", session.driver("link", *(fit_link + fit_victim)))
            self.assertIn("plant 0", session.driver("plant", "HKCU", sample_registry.USER_CLASSES[:-1], through_the_link))
            for root, path in planted_keys:
                session.driver("plant", root, path, hidden)
            for root, path in extensions:
                for name, data in [("", "Other.Class"), ("%0000x", "TSO5.Image"), ("Keep", "Other.Class"),
                                   ("Keep%0000hidden", "Flickard.Animation"), ("m?", "Other.Class"),
                                   ("m%4E2D", "TSO5.Bild")]:
                    self.assertIn("plant 0", session.driver("plant", root, path, name, data))
            watched = sample_registry.WATCHED + extensions + [fit_link, fit_victim]
            before = session.dump(*watched)
            self.assertIn("\\x00hidden (cut)", before[("HKCU", user_image)])

            run = self.start()
            self.answer(self.confirm_dialog(), "ALT+Y")
            self.assertEqual(1, run.wait())

            expected = sample_registry.expected_after_cleanup(before)
            for key in [("HKCU", user_image), ("HKCR", "TSO5.Bild"), fit_link, fit_victim] + extensions:
                expected[key] = before[key]
            # Tessaro 5 stays from Toolbars on, which holds the cut name;
            # Recent File List, before it, and Flickard, after, go.
            expected[("HKCU", "software\\Orlo")] = "".join(
                line + "\n" for line in before[("HKCU", "software\\Orlo")].splitlines()
                if not line.startswith(("software\\Orlo\\Tessaro 5\\Recent", "software\\Orlo\\Flickard")))
            self.assertEqual(expected, session.dump(*watched))
        finally:
            session.driver("delete", "HKCU", sample_registry.USER_CLASSES[:-1], through_the_link)
            for root, path in planted_keys[:2] + extensions + [("HKCU", "software\\Orlo\\Tessaro 5"), fit_link, fit_victim]:
                session.driver("delete", root, path)

    def test_removes_exactly_what_a_64_bit_installer_wrote(self):
        # The sample was written by 64-bit reg.exe, as a 64-bit installer
        # writes; a 32-bit program sees the same keys only where 64-bit
        # Windows shares them between its two registry views.
        roots = [sample_registry.HKCR, sample_registry.HKCU]
        before = {root: session.export(root) for root in roots}
        run = self.start()
        self.answer(self.confirm_dialog(), "ALT+Y")
        self.assertEqual(1, run.wait())
        after = {root: session.export(root) for root in roots}

        planned = ["%s\\%s" % key for key in sample_registry.REMOVED_KEYS]

        def under_plan(key):
            return any((key + "\\").lower().startswith((path + "\\").lower()) for path in planned)

        for root in roots:
            gone = {key for key in before[root] if key not in after[root]}
            self.assertEqual({key for key in before[root] if under_plan(key)}, gone)
            self.assertEqual(set(), set(after[root]) - set(before[root]), "keys added")
            lost = {(key.lower(), value_name(line)) for key in after[root]
                    for line in before[root][key] - after[root][key]}
            self.assertEqual({(("%s\\%s" % (r, key)).lower(), name)
                              for r, key, name in sample_registry.REMOVED_VALUES if r == root}, lost)
            self.assertEqual([], [line for key in after[root] for line in after[root][key] - before[root][key]])

    # --- DLLs planted where a user can write ---

    def test_no_planted_dll_is_ever_loaded(self):
        base = os.path.join(BUILD, "planted")
        shutil.rmtree(base, ignore_errors=True)
        # Beside a copy of the program, in the folder it is started from, and
        # in a folder on its PATH.
        folders = [os.path.join(base, kind) for kind in ("program", "current", "path")]
        for folder in folders:
            os.makedirs(folder)
            for name in PLANTED_DLLS:
                shutil.copy(os.path.join(BUILD, "tests", "marker.dll"), os.path.join(folder, name))
        exe = os.path.join(folders[0], "SettingsCleanup.exe")
        shutil.copy(session.exe, exe)
        before = self.registry()
        for tail, answer, code in [("-unwise x", None, -1), ("-unwise", "ALT+N", 0), ("-unwise", "ALT+Y", 1)]:
            with self.subTest(tail=tail, answer=answer):
                self.run_ = session.start_program(tail, exe=exe, cwd=folders[1], search_path=folders[2])
                if answer is not None:
                    self.answer(self.confirm_dialog(), answer)
                exit_code = self.run_.wait()
                loaded = [os.path.join(os.path.basename(folder), name[:-len(".loaded")])
                          for folder in folders for name in sorted(os.listdir(folder)) if name.endswith(".loaded")]
                self.assertEqual([], loaded, "planted DLLs were loaded")
                self.assertEqual(code, exit_code)
                self.assertEqual(sample_registry.expected_after_cleanup(before) if code == 1 else before,
                                 self.registry())

    # --- a real uninstaller ---

    def test_uninstaller_runs_the_program_and_then_removes_its_files(self):
        setup = build_installer()
        install_dir = "C:\\Orlo\\Tessaro 5"
        files = os.path.join(session.prefix, "drive_c", "Orlo", "Tessaro 5")
        sample = self.registry()
        # A silent uninstall must not ask: nobody would answer; nor one that
        # runs as another account than the session's owner, or where that
        # owner cannot be told: it would be another's settings. The
        # program's windows: question and notice, the question alone, none.
        for answer, owner, record, windows in [
                ("ALT+Y", None, "exit 1", ["#32770", "#32770"]), ("ALT+N", None, "exit 0", ["#32770"]),
                (None, None, "exit not asked", []), (None, ANOTHER_OWNER, "exit other user", []),
                (None, "", "exit unknown user", [])]:
            with self.subTest(answer=answer, owner=owner), session_owner_stand_in():
                session.import_reg(sample_registry.removal_reg())
                installer = session.start_process(windows_path(setup),
                                                  '"%s" /S /D=%s' % (windows_path(setup), install_dir))
                self.assertEqual(0, installer.wait())
                self.assertEqual(sample, self.registry(), "the installer wrote the sample")
                if os.path.exists(RESULT):
                    os.remove(RESULT)

                # _? keeps the uninstaller from copying itself away and
                # returning before the work is done.
                uninstaller = "%s\\uninstall.exe" % install_dir
                silent = " /S" if answer is None and owner is None else ""
                self.run_ = session.start_process(uninstaller, '"%s"%s _?=%s' % (uninstaller, silent, install_dir),
                                                  environment=owner_environment(owner))
                if answer is not None:
                    self.answer(self.confirm_dialog(), answer)
                # The result is the uninstaller's last step.
                self.assertTrue(wait_until(lambda: recorded() != "", timeout=120), "the uninstaller did not end")
                self.run_.wait()
                self.assertEqual(record, recorded())
                self.assertEqual(windows, [name for name in self.run_.program_shown if name not in HELPER_WINDOWS])
                expected = sample_registry.expected_after_cleanup(sample) if record == "exit 1" else sample
                self.assertEqual(expected, self.registry())
                self.assertEqual(["uninstall.exe"], os.listdir(files), "the uninstaller removed its files")

    def test_windows_installer_asks_only_in_a_removal_with_a_user_interface(self):
        package = build_package()
        order = install_execute_sequence(package)
        self.assertLess(order["CostFinalize"], order["RemoveTessaroSettings"], "before costing: not run")
        self.assertLess(order["RemoveTessaroSettings"], order["RemoveFiles"], "the file would be gone")

        # A 32-bit package on 64-bit Windows.
        program = os.path.join(session.prefix, "drive_c", "Program Files (x86)", "Orlo", "Tessaro 5",
                               "SettingsCleanup.exe")
        msiexec = "C:\\windows\\system32\\msiexec.exe"
        sample = self.registry()
        # /qn is silent; /qb is the basic level, as Programs and Features
        # removes. Windows sets MsiUIProgressOnly at /passive, and the
        # program is not started there (Microsoft's MsiUIProgressOnly and
        # MsiSetInternalUI pages); Wine 8 leaves it unset, so there it asks.
        for level, answer, windows in [("/qn", None, []), ("/qb", "ALT+Y", ["#32770", "#32770"]),
                                       ("/qb", "ALT+N", ["#32770"]), ("/passive", "ALT+N", ["#32770"])]:
            with self.subTest(level=level, answer=answer):
                if self.registry() != sample:
                    sample_registry.seed(session)
                installer = session.start_process(msiexec, 'msiexec /i "%s" /qn' % windows_path(package))
                self.assertEqual(0, installer.wait())
                self.assertTrue(os.path.exists(program), "the package installed the program")

                self.run_ = session.start_process(msiexec, 'msiexec /x "%s" %s' % (windows_path(package), level))
                if answer is not None:
                    self.answer(self.confirm_dialog(), answer)
                self.assertEqual(0, self.run_.wait())
                self.assertEqual(windows, [name for name in self.run_.program_shown if name not in HELPER_WINDOWS])
                expected = sample_registry.expected_after_cleanup(sample) if answer == "ALT+Y" else sample
                self.assertEqual(expected, self.registry())
                self.assertFalse(os.path.exists(program), "the package removed its file")

    def test_inno_setup_uninstaller_asks_only_when_not_silent(self):
        # Compiled side by side: each compiler is a 32-bit program, whose
        # start under qemu takes most of its time.
        forms = ("[Code]", "[UninstallRun]", "upgrade")
        with concurrent.futures.ThreadPoolExecutor(len(forms)) as pool:
            setups = dict(zip(forms, pool.map(build_inno_setup, forms)))
        # A 32-bit setup on 64-bit Windows, in administrative install mode.
        folder = os.path.join(session.prefix, "drive_c", "Program Files (x86)", "Orlo", "Tessaro 5")
        uninstaller = "C:\\Program Files (x86)\\Orlo\\Tessaro 5\\unins000.exe"
        # An install left by an earlier run would keep its uninstall data,
        # which every install adds to.
        shutil.rmtree(folder, ignore_errors=True)
        installed_once = os.path.join(BUILD, "inno", "installed")
        shutil.rmtree(installed_once, ignore_errors=True)
        sample = self.registry()
        # Silent, the [Code] sample never starts the program; the
        # [UninstallRun] entry does, and the uninstall waits for an answer,
        # unless a later version's entry of the same RunOnceId stands in its
        # place. Not silent, the uninstaller asks first; then the program
        # starts only where the uninstaller runs as the session's owner. The
        # program's windows: the question alone, question and notice. Yes
        # comes last, so the sample is seeded once.
        for installs, options, owner, answer, windows, logged in [
                (["[Code]"], "/SILENT", None, None, [], None),
                (["[Code]"], "/VERYSILENT", None, None, [], None),
                (["[Code]"], "", ANOTHER_OWNER, None, [],
                 r"SettingsCleanup\.exe not started: the uninstaller runs as .+\\%s, the session belongs to %s" % (
                     re.escape(WINE_USER), re.escape(ANOTHER_OWNER))),
                (["[Code]"], "", "", None, [], r"SettingsCleanup\.exe not started: who owns the session cannot be told"),
                (["[Code]"], "", None, "ALT+N", ["#32770"], r"SettingsCleanup\.exe exited with 0"),
                (["[UninstallRun]"], "/SILENT", None, "ALT+N", ["#32770"], r"Process exit code: 0"),
                (["[UninstallRun]", "upgrade"], "/SILENT", None, None, [],
                 r'Skipping RunOnceId "RemoveTessaroSettings" filename: .+\\SettingsCleanup\.exe'),
                (["[Code]"], "", None, "ALT+Y", ["#32770", "#32770"], r"SettingsCleanup\.exe exited with 1")]:
            with self.subTest(installs=installs, options=options, owner=owner, answer=answer), \
                    session_owner_stand_in():
                if self.registry() != sample:
                    sample_registry.seed(session)
                # The [Code] setup, once run, leaves the same install every
                # time: its files are put back as it wrote them, which the
                # uninstaller takes as that install, in a fraction of the time.
                if installs == ["[Code]"] and os.path.exists(installed_once):
                    shutil.copytree(installed_once, folder)
                else:
                    for form in installs:
                        setup = windows_path(setups[form])
                        installer = session.start_process(setup, '"%s" /VERYSILENT /SUPPRESSMSGBOXES' % setup)
                        self.assertEqual(0, installer.wait())
                    if installs == ["[Code]"]:
                        shutil.copytree(folder, installed_once)
                self.assertTrue(os.path.exists(os.path.join(folder, "SettingsCleanup.exe")), "the setup installed it")
                if os.path.exists(INNO_LOG):
                    os.remove(INNO_LOG)

                self.run_ = session.start_process(uninstaller, '"%s" %s /LOG="%s"' % (
                    uninstaller, options, windows_path(INNO_LOG)), environment=owner_environment(owner))
                if options == "":
                    self.click_uninstaller_button("Are you sure you want to completely remove", IDYES)
                if answer is not None:
                    self.answer(self.confirm_dialog(), answer)
                # The first process ends once its copy has removed the
                # application; the copy then removes the uninstaller itself.
                self.assertEqual(0, self.uninstaller_exit_code())
                if options == "":
                    self.click_uninstaller_button("was successfully removed", IDOK)
                self.assertTrue(wait_until(lambda: inno_log() != "", timeout=60), "the uninstaller did not end")
                self.assertEqual(windows, [name for name in self.run_.program_shown if name not in HELPER_WINDOWS])
                log = inno_log()
                found = re.findall(r"SettingsCleanup\.exe (?:exited with -?\d+|could not be started.*|not started.*)|"
                                   r"Process exit code: \d+|Skipping RunOnceId .*", log)
                self.assertEqual(1 if logged else 0, len(found), log)
                if logged:
                    self.assertRegex(found[0], "^%s$" % logged)
                expected = sample_registry.expected_after_cleanup(sample) if answer == "ALT+Y" else sample
                self.assertEqual(expected, self.registry())
                self.assertFalse(os.path.exists(folder), "the uninstaller removed its files")

    def uninstaller_exit_code(self):
        """Fails, and ends every Wine program, where the uninstaller is still
        waiting a minute on: for an answer nobody would give, if silent."""
        try:
            return self.run_.wait(timeout=60)
        except subprocess.TimeoutExpired:
            self.run_.kill()
            session.end_wine()
            self.fail("the uninstaller did not end: waiting for an answer?")

    def click_uninstaller_button(self, text, button):
        """Clicks a button of the Inno Setup uninstaller's own message box,
        which its copy in a temporary folder shows."""
        dialog = Dialog.parse(session.driver("find", "15000", "_unins.tmp"))
        self.assertIsNotNone(dialog, "the uninstaller's message did not appear: " + text)
        self.assertIn(text, " ".join(control["text"] for control in dialog.controls))
        session.driver("click", *map(str, dialog.centre_of(button)))
        self.assertIn("gone", session.driver("gone", dialog.handle, "15000"))

    # --- the program as the kit ships it, signed ---

    def test_signed_program_asks_and_works_as_the_unsigned_one(self):
        # Signed by the kit's own step with a throwaway certificate.
        folder = os.path.join(BUILD, "signed")
        shutil.rmtree(folder, ignore_errors=True)
        subprocess.run([os.path.join(ROOT, "tests", "support", "make_test_certificate"), folder], check=True,
                       timeout=120)
        signed = os.path.join(folder, "SettingsCleanup.exe")
        subprocess.run([os.path.join(ROOT, "scripts", "sign-program"), session.exe, signed,
                        "-pkcs12", os.path.join(folder, "signer.p12"), "-readpass", os.path.join(folder, "password")],
                       check=True, timeout=120)
        sample = self.registry()
        for answer, code, windows in [("ALT+N", 0, ["#32770"]), ("ALT+Y", 1, ["#32770", "#32770"])]:
            with self.subTest(answer=answer):
                self.run_ = session.start_program(command_line_tail="-unwise", exe=signed, trace_shell=True)
                self.answer(self.confirm_dialog(), answer)
                self.assertEqual(code, self.run_.wait())
                self.assertEqual(windows, dialogs_made(self.run_))
                self.assertEqual(code, self.run_.shell_notifications)
                expected = sample_registry.expected_after_cleanup(sample) if code == 1 else sample
                self.assertEqual(expected, self.registry())

    # --- a run that is killed part-way ---

    def test_run_killed_part_way_leaves_its_work_done_and_the_next_run_finishes(self):
        # The user's TSO5.Image is the first deletion of a run; 40,000 keys
        # keep it busy long enough to be killed there.
        planned = sample_registry.USER_CLASSES + "TSO5.Image"
        branches, leaves = 200, 199
        # Read before the tree is there: a dump of 40,000 keys takes seconds.
        before = self.registry()
        session.add_keys_while_stopped(sample_registry.big_tree(branches, leaves, planned, sample_registry.HKCU))
        run = self.start()
        confirm = self.confirm_dialog()
        session.driver("keys", "ALT+Y")
        self.assertIn("gone", session.driver("gone", confirm.handle, "10000"))
        notice = session.find_dialog()
        self.assertIsNotNone(notice, "no progress notice")
        self.assertEqual("gone\n", self.key_gone("HKCU", planned + "\\Big\\b000\\l000"), "the work did not start")
        self.assertEqual("killed\n", session.driver("kill", notice.handle))
        self.assertEqual(9, run.wait())

        # Deepest first, one key at a time: what went is the start of the
        # order of deletion, and nothing else changed.
        after = self.registry()
        tree = sample_registry.big_tree_order(branches, leaves)
        left = [line[len(planned) + 1:] for line in after[("HKCU", planned)].splitlines()
                if " : [" not in line and line.startswith(planned + "\\Big")]
        self.assertLess(0, len(left), "the tree went before the kill: no proof")
        gone = len(tree) - len(left)
        self.assertLess(0, gone)
        self.assertEqual(sorted(tree[gone:]), sorted(left))
        self.assertEqual({key: listing for key, listing in before.items() if key != ("HKCU", planned)},
                         {key: listing for key, listing in after.items() if key != ("HKCU", planned)})
        self.assertEqual(before[("HKCU", planned)], "".join(
            line + "\n" for line in after[("HKCU", planned)].splitlines() if not line.startswith(planned + "\\Big")))

        run = self.start()
        self.answer(self.confirm_dialog(), "ALT+Y")
        self.assertEqual(1, run.wait(timeout=300))
        self.assertEqual(sample_registry.expected_after_cleanup(before), self.registry())

    # --- the progress notice ---

    def test_progress_notice_shows_while_the_work_runs_and_cannot_be_closed(self):
        # Where the work ends before the checks are done, nothing is proved
        # either way: the trees grow and the run is tried again.
        for scale in (1, 2, 4):
            if self.check_notice(scale):
                return
            print("the work ended before the notice was checked; again with larger trees", file=sys.stderr)
        self.fail("the work always ended before the notice was checked")

    def key_gone(self, root, path, timeout=120):
        """Waits, in the driver, until the key is gone: "gone\\n", or
        "still there\\n" after `timeout` seconds."""
        return session.driver("key-gone", root, path, str(timeout * 1000), timeout=timeout + 30)

    def exists(self, root, path):
        return session.driver("exists", root, path) == "1\n"

    def check_notice(self, scale):
        """One run with two big trees, the second and third targets. True
        when it proved that Escape and a close request were handled while
        the work still ran, the notice staying up; False when the work ended
        too soon for that."""
        first, second = sample_registry.PLANNED_CLASSES[1:3]
        sample_registry.seed(session)
        session.add_keys_while_stopped(sample_registry.big_tree(100 * scale, 200, first) +
                                       sample_registry.big_tree(75 * scale, 200, second))
        before = session.dump(*sample_registry.UNCHANGED)
        run = self.start()
        confirm = self.confirm_dialog()
        session.driver("keys", "ALT+Y")
        self.assertIn("gone", session.driver("gone", confirm.handle, "10000"))

        notice = session.find_dialog()
        if notice is None:
            self.assertEqual(1, run.wait(timeout=300), "no progress notice")
            return False
        self.assertNotEqual(confirm.handle, notice.handle)
        # Queued now, they are handled when the queue is next drained: after
        # the first tree at the latest, if it is still there.
        session.driver("keys", "ESCAPE")
        session.driver("close", notice.handle)
        first_left = self.exists("HKCR", first)

        self.assertEqual(NOTICE, notice.control(1002)["text"])
        self.assertCaptionless(notice)
        self.assertCentred(notice)
        # Painted: the notice's text is on the screen, not just in the window.
        painted = wait_until(lambda: len([
            p for p in pixels(session.screenshot(os.path.join(ARTIFACTS, "progress.png")), notice.control(1002)["rect"])
            if sum(p) < 200]) > 50, timeout=3)
        if painted:
            session.screenshot(os.path.join(ARTIFACTS, "progress-dialog.png"), crop=notice.rect)

        # The second tree's first key gone: the queue was drained after the first tree.
        self.assertEqual("gone\n", self.key_gone("HKCR", second + "\\Big\\b000\\l000"),
                        "the work stopped before the second tree")
        still = session.find_dialog(timeout_ms=0)
        proved = first_left and self.exists("HKCR", second)
        if proved:
            self.assertTrue(painted, "notice text not painted")
            self.assertIsNotNone(still, "the notice closed before the work was done (or on Escape)")
            self.assertEqual(notice.handle, still.handle)
            self.assertIsNone(run.process.poll(), "the program ended early")

        self.assertEqual(1, run.wait(timeout=300))
        # Wine may take a moment to take down the window of a process that ended.
        self.assertIn("gone", session.driver("gone", notice.handle, "10000"), "the notice stayed up")
        self.assertEqual(sample_registry.expected_after_cleanup(before), self.registry())
        return proved


class CountingResult(unittest.TextTestResult):
    """Counts every subtest as a case of its own, and a test without
    subtests as one case; times each test and subtest."""

    def __init__(self, *args, **kwargs):
        super().__init__(*args, **kwargs)
        self.cases = 0
        self.with_subtests = set()
        self.times = []  # (seconds, name)

    def startTest(self, test):
        self.test_started = self.subtest_started = time.monotonic()
        super().startTest(test)

    def stopTest(self, test):
        self.times.append((time.monotonic() - self.test_started, test.id().split(".")[-1]))
        super().stopTest(test)

    def addSuccess(self, test):
        if test.id() not in self.with_subtests:
            self.cases += 1
        super().addSuccess(test)

    def addFailure(self, test, err):
        if test.id() not in self.with_subtests:
            self.cases += 1
        super().addFailure(test, err)

    def addError(self, test, err):
        self.cases += 1
        super().addError(test, err)

    def addSubTest(self, test, subtest, outcome):
        now = time.monotonic()
        self.times.append((now - self.subtest_started, "  " + subtest._subDescription()))
        self.subtest_started = now
        self.with_subtests.add(test.id())
        self.cases += 1
        super().addSubTest(test, subtest, outcome)


def write_times(times):
    """Where the time went, to BUILD/results/e2e_times.txt and the output."""
    lines = ["%7.1f s  %s" % entry for entry in times] + ["", "Wine programs started, by kind:"]
    lines += ["%7.1f s  %4d x %s" % (seconds, count, kind)
              for kind, (count, seconds) in sorted(COSTS.items(), key=lambda item: -item[1][1])]
    text = "\n".join(lines) + "\n"
    with open(os.path.join(BUILD, "results", "e2e_times.txt"), "w") as f:
        f.write(text)
    print(text, file=sys.stderr)


# The cases that run a compiler and setups of their own, 32-bit programs
# whose every start under qemu needs a core: last, once the builds that
# scripts/check runs beside the suite are done. The others keep their order.
RUN_LAST = ["test_uninstaller_runs_the_program_and_then_removes_its_files",
            "test_inno_setup_uninstaller_asks_only_when_not_silent"]


def main():
    names = sys.argv[2:]
    if not names and program_machine(os.path.join(BUILD, "SettingsCleanup.exe")) == 0x8664:
        names = TWIN_CASES
    if not names:
        names = sorted(name for name in dir(ProgramTest) if name.startswith("test_") and name not in RUN_LAST)
        names += RUN_LAST
    names = ["ProgramTest." + name for name in names]
    loader = unittest.defaultTestLoader
    suite = loader.loadTestsFromNames(names, sys.modules[__name__])
    result = unittest.TextTestRunner(verbosity=2, resultclass=CountingResult).run(suite)
    failed = len(result.failures) + len(result.errors)
    os.makedirs(os.path.join(BUILD, "results"), exist_ok=True)
    write_times(result.times)
    with open(os.path.join(BUILD, "results", "e2e_tests.xml"), "w") as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?>\n<testsuites tests="%d" failures="%d" disabled="0" '
                'errors="0" name="e2e_tests"/>\n' % (max(result.cases, failed), failed))
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
