; A real client of the program: an Inno Setup setup that installs it, and
; an uninstaller that runs it as kit/uninstall_code.iss, the guide's sample,
; says; or, with /DUNINSTALL_RUN, as the [UninstallRun] entry of
; uninstall_run.iss does; or, with /DUPGRADE, a later version that runs it
; as uninstall_code.iss says, over one that had the [UninstallRun] entry.
;
;   ISCC /Q /DPRODUCT=<exe> [/DUNINSTALL_RUN | /DUPGRADE] /O<folder>
;        /F<setup name> setup.iss
[Setup]
AppName=Tessaro 5
#ifdef UPGRADE
AppVersion=5.1
#else
AppVersion=5.0
#endif
DefaultDirName={autopf}\Orlo\Tessaro 5
DisableProgramGroupPage=yes
; A small setup compiled in a test: no time spent compressing.
Compression=none

[Files]
Source: "{#PRODUCT}"; DestDir: "{app}"; DestName: "SettingsCleanup.exe"

; [Code] comes last: whatever follows it is read as code.
#ifdef UPGRADE
#include "..\..\kit\uninstall_run_retired.iss"
#endif
#ifdef UNINSTALL_RUN
#include "..\..\kit\uninstall_run.iss"
#else
#include "..\..\kit\uninstall_code.iss"
#endif
