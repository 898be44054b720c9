; The shorter form, which cannot tell a silent uninstall: the uninstaller
; runs every entry of this section, silent or not, and waits for each.
[UninstallRun]
Filename: "{app}\SettingsCleanup.exe"; Parameters: "-unwise"; RunOnceId: "RemoveTessaroSettings"
