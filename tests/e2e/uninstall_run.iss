; The shorter form, which cannot tell a silent uninstall: the uninstaller
; runs every [UninstallRun] entry, silent or not, and waits for it.
[UninstallRun]
Filename: "{app}\SettingsCleanup.exe"; Parameters: "-unwise"; RunOnceId: "RemoveTessaroSettings"
