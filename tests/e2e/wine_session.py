"""A throwaway Wine prefix on a virtual X display of its own, and the driver
program that acts in it as a person at the screen would.

Used by the end-to-end tests and by the demo. Every process started here is
ended by its id when the session stops.

Wine's own background processes (the desktop, services) inherit the output
handles of the Wine process that happened to start them, so output is read
from files, never pipes: a pipe would stay open until the session ends.
"""
import os
import re
import subprocess
import tempfile
import time

WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"
# Makes prefixes, from the template that scripts/check names, if any.
WINE_RUN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "cmake", "wine-run")
DESKTOP_SIZE = (1024, 768)
# Wine's own settings, which Wine rewrites as programs come and go: left out
# of registry exports, so that no comparison depends on an earlier test.
WINE_OWN_KEYS = ["HKEY_CURRENT_USER\\Software\\Wine"]


# What the Wine programs that a session starts cost: {kind: [count, seconds]},
# kind being e.g. "reg import", "driver dump", "program" (a whole run,
# answering included) or "prefix".
COSTS = {}


def account(kind, started):
    cost = COSTS.setdefault(kind, [0, 0.0])
    cost[0] += 1
    cost[1] += time.monotonic() - started


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class WineSession:
    def __init__(self, prefix, build_dir, display=None):
        self.prefix = os.path.abspath(prefix)
        self.exe = os.path.join(build_dir, "SettingsCleanup.exe")
        self.driver_exe = os.path.join(build_dir, "tests", "e2e_driver.exe")
        self.xvfb = None
        self.display = display
        self.env = None

    # --- start and stop ---

    def start(self):
        if self.display is None:
            self._start_xvfb()
        self.env = dict(os.environ, WINEPREFIX=self.prefix, WINEDEBUG="-all", DISPLAY=self.display,
                        WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
        if not os.path.exists(os.path.join(self.prefix, "system.reg")):
            started = time.monotonic()
            self._make_prefix()
            account("prefix", started)
        started = time.monotonic()
        self._serve()
        account("server and desktop", started)

    def _serve(self):
        """One server and one desktop until the session stops or ends Wine,
        started by processes whose output nobody reads. The driver's "hold"
        keeps the desktop up between programs; this waits until it does: a
        Wine program started while the desktop is being made makes another,
        and windows on the first fail."""
        subprocess.run([WINESERVER, "-p"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=60)
        with tempfile.TemporaryFile(mode="w+") as out:
            subprocess.Popen([WINE, self.driver_exe, "hold"], env=self.env, stdout=out,
                             stderr=subprocess.DEVNULL, cwd=self.prefix)

            def holding():
                out.seek(0)
                return "holding" in out.read()
            if not wait_until(holding, timeout=120):
                out.seek(0)
                raise RuntimeError("the Wine desktop did not come up: " + out.read())

    def stop(self):
        if self.env is not None:
            self.end_wine(restart=False)
        if self.xvfb is not None:
            self.xvfb.kill()
            self.xvfb.wait()
            self.xvfb = None

    def end_wine(self, restart=True):
        """Ends every Wine process of the prefix, and waits until it has;
        then holds the desktop again, unless the session is stopping."""
        subprocess.run([WINESERVER, "-k"], env=self.env, stderr=subprocess.DEVNULL, timeout=60)
        subprocess.run([WINESERVER, "-w"], env=self.env, stderr=subprocess.DEVNULL, timeout=60)
        if restart:
            self._serve()

    def _start_xvfb(self):
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            number = pipe.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + number

    def _make_prefix(self):
        # Made without a display: with one, wineboot's desktop keeps it
        # waiting for minutes.
        headless = {k: v for k, v in self.env.items() if k != "DISPLAY"}
        headless["WINE_RUN_PREFIX"] = self.prefix
        subprocess.run([WINE_RUN, "--make-prefix"], env=headless, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=300, check=True)
        # A Wine desktop window of its own: keyboard focus then behaves as on
        # Windows, whatever the X server does with focus.
        self.import_reg("\n".join([
            "[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]", '"Desktop"="Default"',
            "[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]",
            '"Default"="%dx%d"' % DESKTOP_SIZE]))
        self.end_wine(restart=False)

    # --- the registry ---

    def wine(self, *arguments, env=None, timeout=60):
        """Runs a Wine program of the tests' own (reg, the driver) to its end;
        returns (exit status, output). Each of them says why whenever it
        fails, so a failure with no word at all, or with the words of Wine's
        start.exe ("Application could not be started, ...\nShellExecuteEx
        failed: ..."), is Wine not having started it, which a loaded machine
        now and then brings about: it is started once more, and counted."""
        status, output = self._run_wine(arguments, env, timeout)
        if status != 0 and (output == "" or "ShellExecuteEx failed" in output):
            account("started again, after Wine did not start it", time.monotonic())
            status, output = self._run_wine(arguments, env, timeout)
        return status, output

    def _run_wine(self, arguments, env, timeout):
        started = time.monotonic()
        with tempfile.TemporaryFile(mode="w+") as out:
            result = subprocess.run([WINE, *arguments], env=env or self.env, stdout=out,
                                    stderr=subprocess.STDOUT, timeout=timeout)
            out.seek(0)
            output = out.read()
        program = os.path.basename(arguments[0]).replace("e2e_driver.exe", "driver")
        account(" ".join([program] + list(arguments[1:2])), started)
        return result.returncode, output

    def import_reg(self, body):
        """Imports .reg text; "[-KEY]" lines delete KEY with its subtree."""
        path = os.path.join(self.prefix, "import.reg")
        with open(path, "w", encoding="ascii", newline="\r\n") as f:
            f.write("Windows Registry Editor Version 5.00\n\n" + body + "\n")
        status, output = self.wine("reg", "import", windows_path(path), timeout=300)
        if status != 0:
            raise RuntimeError("reg import failed (status %d): %s" % (status, output))

    def add_keys_while_stopped(self, keys):
        """Creates empty keys, (root, path) with root HKEY_CLASSES_ROOT or
        HKEY_CURRENT_USER, by writing them into the registry files of the
        prefix while Wine is stopped: tens of thousands of keys then cost
        one start of the server, where "reg import" takes seconds."""
        self.end_wine(restart=False)
        # Wine's HKEY_CLASSES_ROOT is HKLM\Software\Classes.
        files = {"HKEY_CLASSES_ROOT": ("system.reg", "Software\\Classes\\"), "HKEY_CURRENT_USER": ("user.reg", "")}
        lines = {name: [] for name, _ in files.values()}
        for root, path in keys:
            name, prefix = files[root]
            lines[name].append("[%s] 0\n" % (prefix + path).replace("\\", "\\\\"))
        for name, added in lines.items():
            with open(os.path.join(self.prefix, name), "a", encoding="ascii") as f:
                f.write("\n" + "".join(added))
        started = time.monotonic()
        self._serve()
        account("server and desktop", started)

    def reg(self, *arguments):
        status, output = self.wine("reg", *arguments)
        if status != 0:
            raise RuntimeError("reg %s failed (status %d): %s" % (arguments[0], status, output))

    def export(self, key):
        """{key path: set of value lines} of `key` and everything below it,
        as 64-bit Windows' own "reg export" sees it, less WINE_OWN_KEYS."""
        path = os.path.join(self.prefix, "export.reg")
        status, output = self.wine("reg", "export", key, windows_path(path), "/y", "/reg:64", timeout=300)
        if status != 0:
            raise RuntimeError("reg export failed (status %d): %s" % (status, output))
        with open(path, encoding="utf-16") as f:
            text = f.read().replace("\\\n  ", "")  # hex data continued on the next line
        keys = {}
        values = None
        for line in text.splitlines():
            if line.startswith("["):
                name = line[1:-1]
                own = any((name + "\\").lower().startswith(k.lower() + "\\") for k in WINE_OWN_KEYS)
                values = None if own else keys.setdefault(name, set())
            elif line and values is not None:
                values.add(line)
        return keys

    def dump(self, *roots_and_paths):
        """{(root, path): listing} for pairs like ("HKCR", ".txt")."""
        args = [part for pair in roots_and_paths for part in pair]
        out = self.driver("dump", *args)
        dumps = {}
        for block in out.split("== ")[1:]:
            head, _, body = block.partition("\n")
            root, _, path = head.partition(" ")
            dumps[(root, path)] = body
        return dumps

    # --- the program and the screen ---

    def driver(self, *args, timeout=60):
        return self.wine(self.driver_exe, *args, timeout=timeout)[1]

    def start_program(self, command_line_tail=None, raw_command_line=None, trace_shell=False, exe=None, **where):
        """Starts the program (or its copy `exe`) through the driver;
        `raw_command_line` is used as it stands, otherwise the program's
        quoted path and the tail."""
        exe = exe or self.exe
        if raw_command_line is None:
            raw_command_line = '"%s"' % windows_path(exe)
            if command_line_tail is not None:
                raw_command_line += " " + command_line_tail
        return self.start_process(windows_path(exe), raw_command_line, trace_shell, **where)

    def start_process(self, exe, command_line, trace_shell=False, cwd=None, search_path=None, hidden=False,
                      environment=None):
        """Starts the Windows program `exe` through the driver, which waits
        for it as a Windows parent process does; in the Unix folder `cwd`,
        with the Unix folder `search_path` on its PATH, when given; on a
        window station that no screen shows when `hidden`; with the
        variables of `environment` added to its own."""
        env = dict(self.env, **(environment or {}))
        if trace_shell:
            env["WINEDEBUG"] = "-all,trace+shell"
        if search_path is not None:
            env["WINEPATH"] = windows_path(search_path)
        return ProgramRun([WINE, self.driver_exe, "run-hidden" if hidden else "run", exe, command_line], env, cwd)

    def find_dialog(self, timeout_ms=15000):
        return Dialog.parse(self.driver("find", str(timeout_ms)))

    def screenshot(self, path, crop=None):
        """The whole display, or `crop` = (left, top, right, bottom) of it."""
        os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
        command = ["import", "-display", self.display, "-window", "root"]
        if crop is not None:
            left, top, right, bottom = crop
            command += ["-crop", "%dx%d+%d+%d" % (right - left, bottom - top, left, top), "+repage"]
        subprocess.run(command + [path], check=True, timeout=60)
        return path


class ProgramRun:
    """The driver's "run", started; its output is read as it grows, so the
    caller can wait for "started" and later for the exit code."""

    def __init__(self, command, env, cwd=None):
        self.out = tempfile.TemporaryFile(mode="w+")
        self.errors = tempfile.TemporaryFile(mode="w+")
        self.started = time.monotonic()
        self.process = subprocess.Popen(command, env=env, stdout=self.out, stderr=self.errors, cwd=cwd)
        self.exit_code = None
        self.raw_exit_code = None
        self.shown = []
        self.program_shown = []  # windows of a SettingsCleanup.exe that it started
        self.shell_notifications = 0
        wait_until(lambda: "started" in self._output() or self.process.poll() is not None, timeout=60)

    def _output(self):
        self.out.seek(0)
        return self.out.read()

    def wait(self, timeout=120):
        self.process.wait(timeout=timeout)
        if self.started is not None:
            account("program", self.started)
            self.started = None
        for line in self._output().splitlines():
            if line.startswith("shown "):
                self.shown.append(line[6:])
            elif line.startswith("program-shown "):
                self.program_shown.append(line[14:])
            elif line.startswith("exit "):
                signed, raw = line[5:].split()
                self.exit_code = int(signed)
                self.raw_exit_code = int(raw, 16)
        self.errors.seek(0)
        trace = self.errors.read()
        self.shell_notifications = len(re.findall(r"trace:shell:SHChangeNotify \(0x08000000,0x00000000,", trace))
        if self.exit_code is None:
            # The driver itself failed (or Wine could not start it): say how.
            raise RuntimeError("the driver reported no exit code (status %s): %s\n%s" % (
                self.process.returncode, self._output().strip(),
                "\n".join(line for line in trace.splitlines() if "trace:shell" not in line)[-3000:]))
        return self.exit_code

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()


class Dialog:
    """What the driver's "find" saw of a dialog and its controls."""

    def __init__(self):
        self.handle = None
        self.rect = None
        self.style = 0
        self.title = None
        self.screen = None
        self.focus = None
        self.controls = []

    @staticmethod
    def parse(text):
        dialog = Dialog()
        for line in text.splitlines():
            words = line.split(" ")
            if words[0] == "window":
                dialog.handle = words[1]
                dialog.rect = tuple(int(w) for w in words[3:7])
                dialog.style = int(words[8], 16)
                dialog.title = line.split("title [", 1)[1][:-1]
            elif words[0] == "screen":
                dialog.screen = (int(words[1]), int(words[2]))
            elif words[0] == "focus":
                dialog.focus = None if words[1] == "none" else int(words[1])
            elif words[0] == "child":
                dialog.controls.append({
                    "id": int(words[1]), "class": words[2], "rect": tuple(int(w) for w in words[4:8]),
                    "style": int(words[9], 16), "visible": words[11] == "1", "icon": words[13] == "1",
                    "text": line.split(" text ", 1)[1],
                })
        return dialog if dialog.handle is not None else None

    def control(self, control_id):
        return next(c for c in self.controls if c["id"] == control_id)

    def centre_of(self, control_id):
        left, top, right, bottom = self.control(control_id)["rect"]
        return (left + right) // 2, (top + bottom) // 2


def wait_until(condition, timeout, interval=0.1):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(interval)
    return condition()
