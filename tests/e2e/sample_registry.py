"""Sample associations and preferences of both programs, as .reg text, and
what the cleanup must leave of them."""

PLANNED_CLASSES = ["TSO5.Image", "TSO5.BrowserFile", "TSO5.FichierVisionneuse", "TSO5.Bild", "Imagen de TSO5",
                   "TSO5.Archivo de examinador", "Anim.Document", "Flickard.Animation", "Image.Document"]
PLANNED_USER_KEYS = ["software\\Orlo\\Tessaro 5", "software\\Orlo\\Flickard"]

HKCR = "HKEY_CLASSES_ROOT"
HKCU = "HKEY_CURRENT_USER"


def sample_reg():
    lines = []
    for name in PLANNED_CLASSES:
        lines += [f"[{HKCR}\\{name}]", f'@="{name} document"',
                  f"[{HKCR}\\{name}\\DefaultIcon]", '@="C:\\\\Program Files\\\\Orlo\\\\tessaro.exe,1"',
                  f"[{HKCR}\\{name}\\shell\\open\\command]", '@="\\"C:\\\\Program Files\\\\Orlo\\\\tessaro.exe\\" \\"%1\\""']
    lines += [
        f"[{HKCU}\\software\\Orlo\\Tessaro 5]", '"Zoom"="100"', '"Units"="pixels"',
        f"[{HKCU}\\software\\Orlo\\Tessaro 5\\Recent File List]", '"File1"="C:\\\\photos\\\\cat.tso"',
        f"[{HKCU}\\software\\Orlo\\Tessaro 5\\Toolbars\\Brush]", '"Size"=dword:00000004',
        f"[{HKCU}\\software\\Orlo\\Flickard]", '"FrameRate"="25"',
        f"[{HKCU}\\software\\Orlo\\Flickard\\Window]", '"Left"=dword:0000000a',
        f"[{HKCU}\\software\\Orlo\\Other]", '"Keep"="yes"',
        # Extension keys: matches in any case, a second match for one class,
        # and near misses that must stay.
        f"[{HKCR}\\.tso5]", '@="TSO5.Image"', '"Content Type"="image/x-tessaro"',
        f"[{HKCR}\\.tsb]", '@="tso5.bild"', '"Second"="TSO5.Bild"',
        f"[{HKCR}\\.flk]", '@="Flickard.Animation"', '"Anim"="ANIM.DOCUMENT"',
        f"[{HKCR}\\.flk\\ShellNew]", '"NullFile"=""',
        f"[{HKCR}\\.tsonear]", '@="TSO5.Image "', '"Short"="TSO5.Imag"',
        f"[{HKCR}\\ZZSample.Unrelated]", '@="TSO5.Image"',
    ]
    return "\n".join(lines)


# Wine's "reg import" stores hex(2) data as if it were ANSI text, so the
# REG_EXPAND_SZ near miss goes in through "reg add".
REG_ADD = [["HKCR\\.tsonear", "/v", "Expand", "/t", "REG_EXPAND_SZ", "/d", "Anim.Document", "/f"]]


def seed(session):
    """Replaces whatever an earlier run left with the sample."""
    session.import_reg(removal_reg() + "\n" + sample_reg())
    for arguments in REG_ADD:
        session.reg("add", *arguments)


def big_tree_reg(branches, leaves):
    """A planned tree of branches x leaves keys, to keep the cleanup busy.
    It is the second target: the notice's text is first painted when the
    queue is drained after the first."""
    lines = []
    for b in range(branches):
        lines.append(f"[{HKCR}\\TSO5.BrowserFile\\Big\\b{b:03d}]")
        lines += [f"[{HKCR}\\TSO5.BrowserFile\\Big\\b{b:03d}\\l{l:03d}]" for l in range(leaves)]
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


def expected_after_cleanup(before):
    """What the registry must hold after Yes, given what it held before."""
    expected = dict(EXPECTED_AFTER_CLEANUP)
    for key in UNCHANGED:
        expected[key] = before[key]
    return expected
