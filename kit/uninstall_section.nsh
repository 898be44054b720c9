; The uninstaller's part of an NSIS script: SettingsCleanup.exe asks the
; user, before the uninstaller deletes it, and only when the one it would
; ask is the user whose settings they are: not in a silent uninstall (/S),
; where nobody would see the question and the uninstall would wait for ever,
; and not where the uninstaller runs as another account than the session's
; user (elevated with an administrator's password), whose settings it would
; remove instead.
Var SettingsCleanupResult

; Leaves $SettingsCleanupResult empty where this uninstaller runs as the
; account that owns the session it is in; "other user" where it runs as
; another; "unknown user" where that cannot be told. Changes $R0 to $R4.
Function un.CheckSessionOwner
    StrCpy $SettingsCleanupResult "unknown user"
    ; WTS_CURRENT_SESSION; WTSUserName (5), then WTSDomainName (7)
    System::Call 'wtsapi32::WTSQuerySessionInformationW(p 0, i -1, i 5, *p .R0, *i) i .R1'
    IntCmp $R1 0 done
    System::Call 'kernel32::lstrcpynW(w .R2, p R0, i ${NSIS_MAX_STRLEN})'
    System::Call 'wtsapi32::WTSFreeMemory(p R0)'
    System::Call 'wtsapi32::WTSQuerySessionInformationW(p 0, i -1, i 7, *p .R0, *i) i .R1'
    IntCmp $R1 0 done
    System::Call 'kernel32::lstrcpynW(w .R3, p R0, i ${NSIS_MAX_STRLEN})'
    System::Call 'wtsapi32::WTSFreeMemory(p R0)'
    ; This uninstaller's own account as DOMAIN\user (NameSamCompatible)
    System::Call 'secur32::GetUserNameExW(i 2, w .R4, *i ${NSIS_MAX_STRLEN}) i .R1'
    IntCmp $R1 0 done
    StrCpy $SettingsCleanupResult "other user"
    StrCmp "$R3\$R2" $R4 0 done
    StrCpy $SettingsCleanupResult ""
  done:
FunctionEnd

Section "Uninstall"
    StrCpy $SettingsCleanupResult "not asked"
    IfSilent asked
    Call un.CheckSessionOwner
    StrCmp $SettingsCleanupResult "" 0 asked
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
