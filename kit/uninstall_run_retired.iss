; For every later version of a setup whose earlier versions had the
; [UninstallRun] entry: the uninstaller keeps every version's entries, and
; runs only the latest of those with one RunOnceId, so this one, which runs
; nothing, keeps the earlier entry from asking, silent removals included.
[UninstallRun]
Filename: "{app}\no-longer-run"; Flags: skipifdoesntexist; RunOnceId: "RemoveTessaroSettings"
