#!/usr/bin/env python3
"""The demo's run: see scripts/demo."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import sample_registry  # noqa: E402
from wine_session import WineSession  # noqa: E402

EXIT_MEANINGS = {1: "the user agreed; the settings were removed", 0: "the user declined; nothing was removed",
                 -1: "wrong command line"}


# The planned keys one by one, so that each is reported as a whole: the
# classes of the machine's store (Wine's HKEY_CLASSES_ROOT) and of the
# user's, the settings, then every extension key of both stores.
WATCHED = ([("HKCR", name) for name in sample_registry.PLANNED_CLASSES]
           + [("HKCU", path) for path in sample_registry.USER_CLASS_KEYS]
           + [("HKCU", path) for path in sample_registry.PLANNED_USER_KEYS]
           + [key for key in sample_registry.WATCHED if key[1].split("\\")[-1].startswith(".")])

# Wine's HKEY_CLASSES_ROOT is the machine's store alone, and named so here.
ROOT_NAMES = {"HKCR": "HKEY_LOCAL_MACHINE\\Software\\Classes", "HKCU": "HKEY_CURRENT_USER"}


def readable(data):
    return data.replace("\\x5c", "\\").replace("\\x00", "")


def removals(before, after):
    """One line per key that went, and per value that went from a key that stayed."""
    lines = []
    for (root, path), listing in before.items():
        if listing == "(missing)\n":
            continue
        root_name = ROOT_NAMES[root]
        if after[(root, path)] == "(missing)\n":
            entries = listing.splitlines()
            keys = sum(1 for line in entries if " : [" not in line) - 1
            values = sum(1 for line in entries if " : [" in line)
            lines.append("%s\\%s  (the key, with %d keys and %d values below it)" % (root_name, path, keys, values))
            continue
        still = set(after[(root, path)].splitlines())
        for line in listing.splitlines():
            if line in still:
                continue
            if " : [" in line:
                key, _, value = line.partition(" : [")
                name, _, rest = value.partition("] type ")
                data = readable(rest.partition(" = ")[2])
                lines.append('%s\\%s  value %s = "%s"' % (root_name, key, name or "(Default)", data))
            else:
                lines.append("%s\\%s  (key)" % (root_name, line))
    return lines


def main():
    build = os.path.abspath(sys.argv[1])
    display = os.environ.get("DISPLAY") or None
    shots = os.path.join(build, "demo")
    session = WineSession(os.path.join(build, "demo-prefix"), build, display=display)
    print("== starting Wine (the first run makes its prefix, about half a minute)")
    session.start()
    try:
        sample_registry.seed(session)
        # A larger planned tree keeps the notice up long enough to be seen.
        session.add_keys_while_stopped(sample_registry.big_tree(200, 100))
        before = session.dump(*WATCHED)
        print("== running SettingsCleanup.exe -unwise")
        run = session.start_program("-unwise")
        if display is None:
            answer_yes_and_take_screenshots(session, shots)
        else:
            print("   answer the question in the window that opened")
        exit_code = run.wait(timeout=3600)
        after = session.dump(*WATCHED)
    finally:
        session.stop()

    print("\n== removed from the registry")
    for line in removals(before, after) or ["nothing"]:
        print("   " + line)
    print("\n== exit code: %s (%s)" % (exit_code, EXIT_MEANINGS.get(exit_code, "unexpected")))
    if display is None:
        print("== screenshots: %s" % shots)
    return 0


def answer_yes_and_take_screenshots(session, shots):
    confirm = session.find_dialog()
    if confirm is None:
        print("   the question did not appear")
        return
    session.screenshot(os.path.join(shots, "confirm.png"))
    print("   the question is up: answering Yes (Alt+Y)")
    session.driver("keys", "ALT+Y")
    session.driver("gone", confirm.handle, "10000")
    notice = session.find_dialog(timeout_ms=3000)
    if notice is not None:
        session.screenshot(os.path.join(shots, "progress.png"))
        print("   the notice is up while the cleanup runs")


if __name__ == "__main__":
    sys.exit(main())
