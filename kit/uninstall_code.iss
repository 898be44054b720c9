; The uninstaller's part of an Inno Setup script: SettingsCleanup.exe asks
; the user, before the uninstaller deletes it, and only when the one it
; would ask is the user whose settings they are: not in a silent uninstall
; (/SILENT, /VERYSILENT), where nobody is asked anything and the uninstall
; would wait for ever, and not where the uninstaller runs as another account
; than the session's user (elevated with an administrator's password), whose
; settings it would remove instead.
[Code]
function WTSQuerySessionInformation(Server: Cardinal; SessionId: Cardinal; InfoClass: Integer;
  var Buffer: Cardinal; var Bytes: Cardinal): Boolean;
  external 'WTSQuerySessionInformationW@wtsapi32.dll stdcall delayload';
procedure WTSFreeMemory(Memory: Cardinal);
  external 'WTSFreeMemory@wtsapi32.dll stdcall delayload';
function GetUserNameEx(NameFormat: Integer; Name: String; var Size: Cardinal): Boolean;
  external 'GetUserNameExW@secur32.dll stdcall delayload';
function CopyString(Dest: String; Source: Cardinal; MaxLength: Integer): Cardinal;
  external 'lstrcpynW@kernel32.dll stdcall';

{ What WTSQuerySessionInformation says of the current session: InfoClass 5
  is WTSUserName, 7 WTSDomainName. }
function QuerySession(InfoClass: Integer; var Text: String): Boolean;
var
  Buffer, Bytes: Cardinal;
begin
  Result := WTSQuerySessionInformation(0, $FFFFFFFF, InfoClass, Buffer, Bytes);
  if Result then
  begin
    SetLength(Text, 256);
    CopyString(Text, Buffer, 256);
    Text := Copy(Text, 1, Pos(#0, Text) - 1);
    WTSFreeMemory(Buffer);
  end;
end;

{ Empty where the uninstaller runs as the account that owns the session it
  is in; otherwise why the program is not started. }
function SessionOwnerMismatch: String;
var
  User, Domain, Own: String;
  Size: Cardinal;
begin
  Result := 'who owns the session cannot be told';
  Size := 256;
  SetLength(Own, Size);
  if QuerySession(5, User) and QuerySession(7, Domain) and GetUserNameEx(2, Own, Size) then
  begin
    SetLength(Own, Size);
    if AnsiLowercase(Domain + '\' + User) = AnsiLowercase(Own) then
      Result := ''
    else
      Result := 'the uninstaller runs as ' + Own + ', the session belongs to ' + Domain + '\' + User;
  end;
end;

procedure CurUninstallStepChanged(CurUninstallStep: TUninstallStep);
var
  ResultCode: Integer;
  Mismatch: String;
begin
  if (CurUninstallStep = usUninstall) and not UninstallSilent then
  try
    Mismatch := SessionOwnerMismatch;
    if Mismatch <> '' then
      Log('SettingsCleanup.exe not started: ' + Mismatch)
    { ResultCode: 1 removed, 0 kept, -1 a wrong command line }
    else if Exec(ExpandConstant('{app}\SettingsCleanup.exe'), '-unwise', '', SW_SHOW,
                 ewWaitUntilTerminated, ResultCode) then
      Log(Format('SettingsCleanup.exe exited with %d', [ResultCode]))
    else
      Log('SettingsCleanup.exe could not be started: ' + SysErrorMessage(ResultCode));
  except
    { An exception that left this procedure would end the uninstall. }
    Log('SettingsCleanup.exe not started: ' + GetExceptionMessage);
  end;
end;
