; A real client of the program: an installer that puts it in place with the
; sample associations and preferences, and an uninstaller that runs it as
; kit/uninstall_section.nsh, the sample of docs/installers.md, says.
;
;   makensis -DTARGET=<x86-unicode or amd64-unicode> -DPRODUCT=<exe>
;            -DSAMPLE=<registry commands .nsh>
;            -DRESULT=<Windows path of the result file> -DOUTFILE=<setup exe>
;
; The uninstaller writes "exit RESULT" to RESULT as its very last step,
; RESULT being the program's exit code, "not asked" or "not started".
Unicode true
Target ${TARGET}
Name "Tessaro 5"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Orlo\Tessaro 5"
RequestExecutionLevel user
ShowInstDetails nevershow
ShowUninstDetails nevershow
; No confirmation page: the uninstall starts at once and closes when done.
UninstPage instfiles

Section
    SetOutPath "$INSTDIR"
    File "/oname=SettingsCleanup.exe" "${PRODUCT}"
    FileOpen $0 "$INSTDIR\readme.txt" w
    FileWrite $0 "Tessaro 5"
    FileClose $0
    !include "${SAMPLE}"
    WriteUninstaller "$INSTDIR\uninstall.exe"
SectionEnd

!include "${__FILEDIR__}\..\..\kit\uninstall_section.nsh"

Section "un.Record"
    SetAutoClose true
    FileOpen $0 "${RESULT}" w
    FileWrite $0 "exit $SettingsCleanupResult"
    FileClose $0
SectionEnd
