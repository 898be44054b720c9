; The uninstaller's part of an Inno Setup script: SettingsCleanup.exe asks
; the user, before the uninstaller deletes it, and only when someone is there
; to answer: in a silent uninstall (/SILENT, /VERYSILENT) nobody is asked
; anything, and the uninstall would wait for ever.
[Code]
procedure CurUninstallStepChanged(CurUninstallStep: TUninstallStep);
var
  ResultCode: Integer;
begin
  if (CurUninstallStep = usUninstall) and not UninstallSilent then
  begin
    { ResultCode: 1 removed, 0 kept, -1 a wrong command line }
    if Exec(ExpandConstant('{app}\SettingsCleanup.exe'), '-unwise', '', SW_SHOW,
            ewWaitUntilTerminated, ResultCode) then
      Log(Format('SettingsCleanup.exe exited with %d', [ResultCode]))
    else
      Log('SettingsCleanup.exe could not be started: ' + SysErrorMessage(ResultCode));
  end;
end;
