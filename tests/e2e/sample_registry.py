"""Sample associations and preferences of both programs, as .reg text and as
an installer's registry commands, and what the cleanup must leave of them."""

PLANNED_CLASSES = ["TSO5.Image", "TSO5.BrowserFile", "TSO5.FichierVisionneuse", "TSO5.Bild", "Imagen de TSO5",
                   "TSO5.Archivo de examinador", "Anim.Document", "Flickard.Animation", "Image.Document"]
PLANNED_USER_KEYS = ["software\\Orlo\\Tessaro 5", "software\\Orlo\\Flickard"]

# Wine's HKEY_CLASSES_ROOT is the per-machine class store alone; Windows'
# merges the per-user one over it.
HKCR = "HKEY_CLASSES_ROOT"
HKCU = "HKEY_CURRENT_USER"
SHORT_ROOTS = {HKCR: "HKCR", HKCU: "HKCU"}
USER_CLASSES = "Software\\Classes\\"

# The user's own registrations: a class in both stores with other subkeys
# than the machine's copy, and one registered per user only, in other
# letter case (the machine has no Flickard.Animation).
MACHINE_CLASSES = [name for name in PLANNED_CLASSES if name != "Flickard.Animation"]
USER_CLASS_KEYS = [USER_CLASSES + "TSO5.Image", USER_CLASSES + "flickard.ANIMATION"]

TESSARO = "C:\\Program Files\\Orlo\\tessaro.exe"


def _sample():
    """(root, key, value name or "" for the default, type, data), in order."""
    values = []
    for name in MACHINE_CLASSES:
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
        (HKCU, USER_CLASSES + "TSO5.Image", "", "sz", "My images"),
        (HKCU, USER_CLASSES + "TSO5.Image\\shell\\edit\\command", "", "sz", '"%s" /edit "%%1"' % TESSARO),
        (HKCU, USER_CLASSES + "flickard.ANIMATION", "", "sz", "My animations"),
        (HKCU, USER_CLASSES + "flickard.ANIMATION\\CurVer", "", "sz", "Flickard.Animation.2"),
        # .tso5 in both stores; in the user's .flk two values name one
        # class and one another; near misses that stay.
        (HKCU, USER_CLASSES + ".tso5", "", "sz", "tso5.image"),
        (HKCU, USER_CLASSES + ".flk", "", "sz", "flickard.animation"),
        (HKCU, USER_CLASSES + ".flk", "Second", "sz", "Flickard.Animation"),
        (HKCU, USER_CLASSES + ".flk", "Tool", "sz", "Anim.Document"),
        (HKCU, USER_CLASSES + ".tsouser", "", "sz", "TSO5.Images"),
        (HKCU, USER_CLASSES + ".tsouser", "Expand", "expand", "TSO5.Bild"),
        (HKCU, USER_CLASSES + "TSO5.Image2", "", "sz", "TSO5.Image"),
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
            continue  # see EXPAND
        if (root, path) != key:
            key = (root, path)
            lines.append("[%s\\%s]" % key)
        value = "dword:%08x" % data if kind == "dword" else _reg_string(data)
        lines.append("%s=%s" % ("@" if name == "" else _reg_string(name), value))
    return "\n".join(lines)


# Wine's "reg import" stores hex(2) data as if it were ANSI text, so the
# REG_EXPAND_SZ near misses go in through the driver's "expand".
EXPAND = [part for root, path, name, kind, data in SAMPLE if kind == "expand"
          for part in (SHORT_ROOTS[root], path, name, data)]


def installer_commands():
    """The sample as an NSIS installer writes it."""
    command = {"sz": "WriteRegStr", "expand": "WriteRegExpandStr", "dword": "WriteRegDWORD"}
    return "\n".join("%s %s `%s` `%s` `%s`" % (command[kind], SHORT_ROOTS[root], path, name, data)
                     for root, path, name, kind, data in SAMPLE)


def seed(session):
    """Replaces whatever an earlier run left with the sample."""
    session.import_reg(removal_reg() + "\n" + sample_reg())
    written = session.driver("expand", *EXPAND)
    if written != "expand 0\n":
        raise RuntimeError("the driver could not write the REG_EXPAND_SZ values: " + written)


def big_tree(branches, leaves, planned_class="TSO5.BrowserFile", root=HKCR):
    """The keys, (root, path), of a planned tree of branches x leaves keys
    under planned_class\\Big, to keep the cleanup busy. By default it is the
    second target: the notice's text is first painted when the queue is
    drained after the first. Its first key to go is Big\\b000\\l000."""
    keys = []
    for b in range(branches):
        keys.append((root, f"{planned_class}\\Big\\b{b:03d}"))
        keys += [(root, f"{planned_class}\\Big\\b{b:03d}\\l{l:03d}") for l in range(leaves)]
    return keys


def big_tree_order(branches, leaves):
    """The keys of big_tree's tree below Big, in the order the cleanup
    deletes them: deepest first, always the subkey at index 0."""
    order = []
    for b in range(branches):
        order += [f"Big\\b{b:03d}\\l{l:03d}" for l in range(leaves)] + [f"Big\\b{b:03d}"]
    return order + ["Big"]


def removal_reg():
    """Deletes everything sample_reg() makes."""
    keys = [f"{HKCR}\\{name}" for name in PLANNED_CLASSES]
    keys += [f"{HKCU}\\software\\Orlo"]
    keys += [f"{HKCR}\\{name}" for name in (".tso5", ".tsb", ".flk", ".tsonear", "ZZSample.Unrelated")]
    keys += [f"{HKCU}\\{path}" for path in USER_CLASS_KEYS + USER_EXTENSIONS + USER_UNRELATED]
    return "\n".join(f"[-{key}]" for key in keys)


USER_EXTENSIONS = [USER_CLASSES + name for name in (".tso5", ".flk", ".tsouser")]
USER_UNRELATED = [USER_CLASSES + "TSO5.Image2"]

WATCHED = [("HKCR", name) for name in PLANNED_CLASSES] + [("HKCU", path) for path in USER_CLASS_KEYS] + [
    ("HKCU", "software\\Orlo"), ("HKCR", ".tso5"), ("HKCR", ".tsb"), ("HKCR", ".flk"), ("HKCR", ".tsonear"),
    ("HKCR", "ZZSample.Unrelated")] + [("HKCU", path) for path in USER_EXTENSIONS + USER_UNRELATED]

EXPECTED_AFTER_CLEANUP = {
    **{("HKCR", name): "(missing)\n" for name in PLANNED_CLASSES},
    **{("HKCU", path): "(missing)\n" for path in USER_CLASS_KEYS},
    ("HKCU", USER_CLASSES + ".tso5"): USER_CLASSES + ".tso5\n",
    ("HKCU", USER_CLASSES + ".flk"): USER_CLASSES + ".flk\n" +
                                     USER_CLASSES + ".flk : [Second] type 1 = Flickard.Animation\\x00\n",
    ("HKCU", "software\\Orlo"): "software\\Orlo\n"
                                "software\\Orlo\\Other\n"
                                "software\\Orlo\\Other : [Keep] type 1 = yes\\x00\n",
    ("HKCR", ".tso5"): ".tso5\n.tso5 : [Content Type] type 1 = image/x-tessaro\\x00\n",
    # One match per class and key: the second reference to TSO5.Bild stays.
    ("HKCR", ".tsb"): ".tsb\n.tsb : [Second] type 1 = TSO5.Bild\\x00\n",
    ("HKCR", ".flk"): ".flk\n.flk\\ShellNew\n.flk\\ShellNew : [NullFile] type 1 = \\x00\n",
}

# Near misses and keys that are no extension: exactly as they were before.
UNCHANGED = [("HKCR", ".tsonear"), ("HKCR", "ZZSample.Unrelated")] + [("HKCU", USER_CLASSES + ".tsouser")] + [
    ("HKCU", path) for path in USER_UNRELATED]

# What the cleanup removes from the sample, in registry-export terms: whole
# keys (with everything below them) and single values of keys that stay.
REMOVED_KEYS = [(HKCR, name) for name in MACHINE_CLASSES] + [(HKCU, path) for path in PLANNED_USER_KEYS] + [
    (HKCU, path) for path in USER_CLASS_KEYS]
REMOVED_VALUES = [(HKCR, ".tso5", ""), (HKCR, ".tsb", ""), (HKCR, ".flk", ""), (HKCR, ".flk", "Anim"),
                  (HKCU, USER_CLASSES + ".tso5", ""), (HKCU, USER_CLASSES + ".flk", ""),
                  (HKCU, USER_CLASSES + ".flk", "Tool")]


def expected_after_cleanup(before):
    """What the registry must hold after Yes, given what it held before."""
    expected = dict(EXPECTED_AFTER_CLEANUP)
    for key in UNCHANGED:
        expected[key] = before[key]
    return expected
