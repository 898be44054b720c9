; The uninstaller's part of an NSIS script: SettingsCleanup.exe asks the
; user, before the uninstaller deletes it, and only when someone is there to
; answer: in a silent uninstall (/S) nobody would see the question, and the
; uninstall would wait for ever.
Var SettingsCleanupResult

Section "Uninstall"
    StrCpy $SettingsCleanupResult "not asked"
    IfSilent asked
    ClearErrors
    ExecWait '"$INSTDIR\SettingsCleanup.exe" -unwise' $SettingsCleanupResult
    IfErrors 0 asked
    StrCpy $SettingsCleanupResult "not started"
  asked:
    ; 1: removed, 0: kept, -1: a wrong command line
    DetailPrint "SettingsCleanup.exe: $SettingsCleanupResult"

    Delete "$INSTDIR\SettingsCleanup.exe"
    Delete "$INSTDIR\readme.txt"
SectionEnd
