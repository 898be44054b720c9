; A real client of the program: an installer that puts it in place with the
; sample associations and preferences, and an uninstaller that runs it the
; way the programs' own uninstaller would, then goes on to remove its files.
;
;   makensis -DTARGET=<x86-unicode or amd64-unicode> -DPRODUCT=<exe>
;            -DSAMPLE=<registry commands .nsh>
;            -DRESULT=<Windows path of the result file> -DOUTFILE=<setup exe>
;
; The uninstaller writes "exit CODE" to RESULT as its very last step.
Unicode true
Target ${TARGET}
Name "Tessaro 5"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Orlo\Tessaro 5"
RequestExecutionLevel user
ShowInstDetails nevershow
ShowUninstDetails nevershow

Section
    SetOutPath "$INSTDIR"
    File "/oname=SettingsCleanup.exe" "${PRODUCT}"
    FileOpen $0 "$INSTDIR\readme.txt" w
    FileWrite $0 "Tessaro 5"
    FileClose $0
    !include "${SAMPLE}"
    WriteUninstaller "$INSTDIR\uninstall.exe"
SectionEnd

Section "Uninstall"
    ExecWait '"$INSTDIR\SettingsCleanup.exe" -unwise' $1
    Delete "$INSTDIR\SettingsCleanup.exe"
    Delete "$INSTDIR\readme.txt"
    FileOpen $0 "${RESULT}" w
    FileWrite $0 "exit $1"
    FileClose $0
SectionEnd
