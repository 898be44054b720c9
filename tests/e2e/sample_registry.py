"""Sample associations and preferences of both programs, as .reg text and as
an installer's registry commands, and what the cleanup must leave of them."""

PLANNED_CLASSES = ["TSO5.Image", "TSO5.BrowserFile", "TSO5.FichierVisionneuse", "TSO5.Bild", "Imagen de TSO5",
                   "TSO5.Archivo de examinador", "Anim.Document", "Flickard.Animation", "Image.Document"]
PLANNED_USER_KEYS = ["software\\Orlo\\Tessaro 5", "software\\Orlo\\Flickard"]

HKCR = "HKEY_CLASSES_ROOT"
HKCU = "HKEY_CURRENT_USER"
SHORT_ROOTS = {HKCR: "HKCR", HKCU: "HKCU"}

TESSARO = "C:\\Program Files\\Orlo\\tessaro.exe"


def _sample():
    """(root, key, value name or "" for the default, type, data), in order."""
    values = []
    for name in PLANNED_CLASSES:
        values += [(HKCR, name, "", "sz", name + " document"),
                   (HKCR, name + "\\DefaultIcon", "", "sz", TESSARO + ",1"),
                   (HKCR, name + "\\shell\\open\\command", "", "sz", '"%s" "%%1"' % TESSARO)]
    values += [
        (HKCU, "software\\Orlo\\Tessaro 5", "Zoom", "sz", "100"),
        (HKCU, "software\\Orlo\\Tessaro 5", "Units", "sz", "pixels"),
        (HKCU, "software\\Orlo\\Tessaro 5\\Recent File List", "File1", "sz", "C:\\photos\\cat.tso"),
        (HKCU, "software\\Orlo\\Tessaro 5\\Toolbars\\Brush", "Size", "dword", 4),
        (HKCU, "software\\Orlo\\Flickard", "FrameRate", "sz", "25"),
        (HKCU, "software\\Orlo\\Flickard\\Window", "Left", "dword", 10),
        (HKCU, "software\\Orlo\\Other", "Keep", "sz", "yes"),
        # Extension keys: matches in any case, a second match for one class,
        # and near misses that must stay.
        (HKCR, ".tso5", "", "sz", "TSO5.Image"),
        (HKCR, ".tso5", "Content Type", "sz", "image/x-tessaro"),
        (HKCR, ".tsb", "", "sz", "tso5.bild"),
        (HKCR, ".tsb", "Second", "sz", "TSO5.Bild"),
        (HKCR, ".flk", "", "sz", "Flickard.Animation"),
        (HKCR, ".flk", "Anim", "sz", "ANIM.DOCUMENT"),
        (HKCR, ".flk\\ShellNew", "NullFile", "sz", ""),
        (HKCR, ".tsonear", "", "sz", "TSO5.Image "),
        (HKCR, ".tsonear", "Short", "sz", "TSO5.Imag"),
        (HKCR, ".tsonear", "Expand", "expand", "Anim.Document"),
        (HKCR, "ZZSample.Unrelated", "", "sz", "TSO5.Image"),
    ]
    return values


SAMPLE = _sample()


def _reg_string(text):
    return '"%s"' % text.replace("\\", "\\\\").replace('"', '\\"')


def sample_reg():
    lines = []
    key = None
    for root, path, name, kind, data in SAMPLE:
        if kind == "expand":
            continue  # see REG_ADD
        if (root, path) != key:
            key = (root, path)
            lines.append("[%s\\%s]" % key)
        value = "dword:%08x" % data if kind == "dword" else _reg_string(data)
        lines.append("%s=%s" % ("@" if name == "" else _reg_string(name), value))
    return "\n".join(lines)


# Wine's "reg import" stores hex(2) data as if it were ANSI text, so the
# REG_EXPAND_SZ near miss goes in through "reg add".
REG_ADD = [["%s\\%s" % (SHORT_ROOTS[root], path), "/v", name, "/t", "REG_EXPAND_SZ", "/d", data, "/f"]
           for root, path, name, kind, data in SAMPLE if kind == "expand"]


def installer_commands():
    """The sample as an NSIS installer writes it."""
    command = {"sz": "WriteRegStr", "expand": "WriteRegExpandStr", "dword": "WriteRegDWORD"}
    return "\n".join("%s %s `%s` `%s` `%s`" % (command[kind], SHORT_ROOTS[root], path, name, data)
                     for root, path, name, kind, data in SAMPLE)


def seed(session):
    """Replaces whatever an earlier run left with the sample."""
    session.import_reg(removal_reg() + "\n" + sample_reg())
    for arguments in REG_ADD:
        session.reg("add", *arguments)


def big_tree_reg(branches, leaves, planned_class="TSO5.BrowserFile"):
    """A planned tree of branches x leaves keys under planned_class\\Big, to
    keep the cleanup busy. By default it is the second target: the notice's
    text is first painted when the queue is drained after the first. Its
    first key to go is Big\\b000\\l000."""
    lines = []
    for b in range(branches):
        lines.append(f"[{HKCR}\\{planned_class}\\Big\\b{b:03d}]")
        lines += [f"[{HKCR}\\{planned_class}\\Big\\b{b:03d}\\l{l:03d}]" for l in range(leaves)]
    return "\n".join(lines)


def removal_reg():
    """Deletes everything sample_reg() makes."""
    keys = [f"{HKCR}\\{name}" for name in PLANNED_CLASSES]
    keys += [f"{HKCU}\\software\\Orlo"]
    keys += [f"{HKCR}\\{name}" for name in (".tso5", ".tsb", ".flk", ".tsonear", "ZZSample.Unrelated")]
    return "\n".join(f"[-{key}]" for key in keys)


WATCHED = [("HKCR", name) for name in PLANNED_CLASSES] + [
    ("HKCU", "software\\Orlo"), ("HKCR", ".tso5"), ("HKCR", ".tsb"), ("HKCR", ".flk"), ("HKCR", ".tsonear"),
    ("HKCR", "ZZSample.Unrelated")]

EXPECTED_AFTER_CLEANUP = {
    **{("HKCR", name): "(missing)\n" for name in PLANNED_CLASSES},
    ("HKCU", "software\\Orlo"): "software\\Orlo\n"
                                "software\\Orlo\\Other\n"
                                "software\\Orlo\\Other : [Keep] type 1 = yes\\x00\n",
    ("HKCR", ".tso5"): ".tso5\n.tso5 : [Content Type] type 1 = image/x-tessaro\\x00\n",
    # One match per class and key: the second reference to TSO5.Bild stays.
    ("HKCR", ".tsb"): ".tsb\n.tsb : [Second] type 1 = TSO5.Bild\\x00\n",
    ("HKCR", ".flk"): ".flk\n.flk\\ShellNew\n.flk\\ShellNew : [NullFile] type 1 = \\x00\n",
}

# Near misses and keys that are no extension: exactly as they were before.
UNCHANGED = [("HKCR", ".tsonear"), ("HKCR", "ZZSample.Unrelated")]

# What the cleanup removes from the sample, in registry-export terms: whole
# keys (with everything below them) and single values of keys that stay.
REMOVED_KEYS = [(HKCR, name) for name in PLANNED_CLASSES] + [(HKCU, path) for path in PLANNED_USER_KEYS]
REMOVED_VALUES = [(HKCR, ".tso5", ""), (HKCR, ".tsb", ""), (HKCR, ".flk", ""), (HKCR, ".flk", "Anim")]


def expected_after_cleanup(before):
    """What the registry must hold after Yes, given what it held before."""
    expected = dict(EXPECTED_AFTER_CLEANUP)
    for key in UNCHANGED:
        expected[key] = before[key]
    return expected
