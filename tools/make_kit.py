#!/usr/bin/env python3
"""Packs the kit that installer authors get: the program, the drop-in files
for their uninstallers, the installer guide and SHA256SUMS over them.

    make_kit.py PROGRAM VERSION OUT.zip

The archive is the same file byte for byte wherever and whenever it is
made from the same inputs: its entries in a fixed order, each dated
SOURCE_DATE_EPOCH (the time of the last commit, which scripts/kit passes),
with fixed permissions and no owner.
"""
import hashlib
import os
import sys
import time
import zipfile

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")

# What the kit holds besides the program, from the source tree, in order.
DROP_INS = ["kit/uninstall_section.nsh", "kit/uninstall_code.iss", "kit/uninstall_run.iss",
            "kit/uninstall_run_retired.iss", "kit/uninstall_action.wxi"]
GUIDE = "docs/installers.md"


def kit_files(program):
    """(name in the kit, bytes), the program first, SHA256SUMS last."""
    files = [("SettingsCleanup.exe", read(program))]
    files += [(os.path.basename(path), read(os.path.join(ROOT, path))) for path in DROP_INS + [GUIDE]]
    sums = "".join("%s  %s\n" % (hashlib.sha256(data).hexdigest(), name) for name, data in files)
    return files + [("SHA256SUMS", sums.encode("ascii"))]


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write_zip(out, folder, files, epoch):
    # The zip format keeps local time to two seconds, from 1980 on.
    stamp = time.gmtime(max(epoch, 315532800))[:6]
    with zipfile.ZipFile(out, "w") as archive:
        for name, data in files:
            entry = zipfile.ZipInfo(folder + "/" + name, date_time=stamp)
            entry.compress_type = zipfile.ZIP_DEFLATED
            entry.create_system = 3
            entry.external_attr = (0o100755 if name.endswith(".exe") else 0o100644) << 16
            archive.writestr(entry, data, compresslevel=9)


def main():
    if len(sys.argv) != 4 or "SOURCE_DATE_EPOCH" not in os.environ:
        sys.exit("usage: SOURCE_DATE_EPOCH=SECONDS make_kit.py PROGRAM VERSION OUT.zip")
    program, version, out = sys.argv[1:]
    write_zip(out, "SettingsCleanup-" + version, kit_files(program), int(os.environ["SOURCE_DATE_EPOCH"]))


if __name__ == "__main__":
    main()
