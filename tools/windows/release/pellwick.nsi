; The installer of Pellwick for one Windows user: no administrator rights, installed into
; the user's own programs folder, so that server.crt and server.key next to Pellwick.exe
; stay writable by their owner. tools/release.sh runs makensis with these defines:
;   NAMES        the pellwick_names.nsh that CMake makes from pellwick.conf: VERSION (the
;                release's, "1.0"), VERSION4 (the same with four parts, "1.0.0.0"),
;                PUBLISHER (the developer the status panel names), URL (the developer's
;                web address) and WINDOW_CLASS (the control window's class)
;   STAGE        the folder holding Pellwick.exe, MakeCertificate.exe and README.txt
;   ICON         the application icon
;   WELCOME_BITMAP  the welcome and finish pages' picture (164x314, 24-bit BMP)
;   OUTFILE      the installer to write
;   SIGN         (optional) a command that signs the file named by its last argument
;
; Silent use: setup.exe /S [/AUTOSTART=1|0] [/RUN=1] [/D=folder]
;   /AUTOSTART=1 adds the sign-in start, /AUTOSTART=0 removes it, without it an earlier
;   choice stays; /RUN=1 starts Pellwick when the installation is done.
Unicode true
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include WinMessages.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Pellwick"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!include "${NAMES}"

!ifdef SIGN
  !uninstfinalize '${SIGN} "%1"'
!endif

Name "Pellwick ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Pellwick"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Pellwick ${VERSION}"
ShowInstDetails show

VIProductVersion "${VERSION4}"
VIAddVersionKey /LANG=0 "ProductName" "Pellwick"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "FileDescription" "Pellwick ${VERSION} Setup"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "Copyright (C) 2026 ${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${WELCOME_BITMAP}"
!define MUI_ABORTWARNING

!define MUI_FINISHPAGE_RUN "$INSTDIR\Pellwick.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Pellwick now"
; The finish page's second box is the sign-in start; LeaveFinishPage reads it.
!define MUI_FINISHPAGE_SHOWREADME ""
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Start Pellwick when I sign in"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!define MUI_FINISHPAGE_SHOWREADME_FUNCTION NoReadme

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_PAGE_CUSTOMFUNCTION_SHOW ShowFinishPage
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE LeaveFinishPage
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

Var autostartOption  ; "1", "0" or "" (not given) from /AUTOSTART=
Var runOption        ; "1" when /RUN=1

; A running Pellwick holds Pellwick.exe open: close every control window of a process
; started from $INSTDIR\Pellwick.exe the way the user would (the window stops its server
; and ends the process), then give the processes a moment to exit. A Pellwick started from
; elsewhere (a portable folder) is left running; one whose program cannot be told is
; closed. Gives up after about ten seconds; a file still held is then reported by the file
; copy itself.
!macro CLOSE_RUNNING_PELLWICK un
; $R1: the program file of the process that owns window $R0, "" when it cannot be told.
Function ${un}WindowProgram
  Push $R2
  Push $R3
  StrCpy $R1 ""
  System::Call 'user32::GetWindowThreadProcessId(p R0, *i .R2)'
  ; PROCESS_QUERY_LIMITED_INFORMATION
  System::Call 'kernel32::OpenProcess(i 0x1000, i 0, i R2) p .R3'
  ${If} $R3 P<> 0
    System::Call 'kernel32::QueryFullProcessImageNameW(p R3, i 0, w .R1, *i ${NSIS_MAX_STRLEN}) i .R2'
    ${If} $R2 = 0
      StrCpy $R1 ""
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p R3)'
  ${EndIf}
  Pop $R3
  Pop $R2
FunctionEnd

Function ${un}CloseRunningPellwick
  Push $R0
  Push $R1
  Push $R4
  Push $R5
  StrCpy $R4 0  ; windows closed
  StrCpy $R5 0  ; search after this window: past the ones that are not ours
  ${Do}
    FindWindow $R0 "${WINDOW_CLASS}" "" 0 $R5
    ${If} $R0 = 0
    ${OrIf} $R4 >= 50
      ${Break}
    ${EndIf}
    Call ${un}WindowProgram
    ${If} $R1 == "$INSTDIR\Pellwick.exe"
    ${OrIf} $R1 == ""
      ${If} $R4 = 0
        DetailPrint "Closing the running Pellwick"
      ${EndIf}
      SendMessage $R0 ${WM_CLOSE} 0 0 /TIMEOUT=5000
      Sleep 200
      IntOp $R4 $R4 + 1
      StrCpy $R5 0
    ${Else}
      StrCpy $R5 $R0
    ${EndIf}
  ${Loop}
  ${If} $R4 > 0
    Sleep 1000
  ${EndIf}
  Pop $R5
  Pop $R4
  Pop $R1
  Pop $R0
FunctionEnd
!macroend
!insertmacro CLOSE_RUNNING_PELLWICK ""
!insertmacro CLOSE_RUNNING_PELLWICK "un."

; Pushes the last-write times of server.crt and server.key in $INSTDIR as one text, ""
; when either is missing. The installer keeps it for the pair it made; the uninstaller
; removes the pair only while both files still have exactly these times, so a pair the
; user made or placed there is never touched.
!macro CERTIFICATE_STAMP un
Function ${un}CertificateStamp
  Push $0
  Push $1
  Push $2
  Push $3
  StrCpy $0 ""
  ClearErrors
  GetFileTime "$INSTDIR\server.crt" $1 $2
  ${IfNot} ${Errors}
    GetFileTime "$INSTDIR\server.key" $3 $0
    ${If} ${Errors}
      StrCpy $0 ""
    ${Else}
      StrCpy $0 "$1.$2.$3.$0"
    ${EndIf}
  ${EndIf}
  Pop $3
  Pop $2
  Pop $1
  Exch $0
FunctionEnd
!macroend
!insertmacro CERTIFICATE_STAMP ""
!insertmacro CERTIFICATE_STAMP "un."

Function .onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/AUTOSTART=" $autostartOption
  ${If} ${Errors}
    StrCpy $autostartOption ""
  ${EndIf}
  ClearErrors
  ${GetOptions} $0 "/RUN=" $runOption
FunctionEnd

Function NoReadme
FunctionEnd

; An upgrade shows the sign-in start as it is now; a first installation leaves it off.
Function ShowFinishPage
  ReadRegStr $0 HKCU "${RUN_KEY}" "Pellwick"
  ${If} $0 != ""
    SendMessage $mui.FinishPage.ShowReadme ${BM_SETCHECK} ${BST_CHECKED} 0
  ${EndIf}
FunctionEnd

Function LeaveFinishPage
  ${NSD_GetState} $mui.FinishPage.ShowReadme $0
  ${If} $0 = ${BST_CHECKED}
    StrCpy $autostartOption "1"
  ${Else}
    StrCpy $autostartOption "0"
  ${EndIf}
  Call ApplyAutostart
FunctionEnd

Function ApplyAutostart
  ${If} $autostartOption == "1"
    WriteRegStr HKCU "${RUN_KEY}" "Pellwick" '"$INSTDIR\Pellwick.exe"'
  ${ElseIf} $autostartOption == "0"
    DeleteRegValue HKCU "${RUN_KEY}" "Pellwick"
  ${EndIf}
FunctionEnd

; Makes the certificate pair for this machine when neither file is there, and remembers
; that this installation made it; any pair (or half pair) found is left as it is.
Function MakeCertificateWhenMissing
  ${If} ${FileExists} "$INSTDIR\server.crt"
  ${OrIf} ${FileExists} "$INSTDIR\server.key"
    DetailPrint "Keeping the certificate and key in $INSTDIR"
    Return
  ${EndIf}
  DetailPrint "Making a certificate for this computer"
  ClearErrors
  ExecWait '"$INSTDIR\MakeCertificate.exe" /S' $0
  ${If} ${Errors}
    StrCpy $0 "not started"
  ${EndIf}
  ${If} $0 == "0"
    Call CertificateStamp
    Pop $1
    WriteRegStr HKCU "${UNINSTALL_KEY}" "CertificateMadeBySetup" $1
  ${Else}
    MessageBox MB_ICONEXCLAMATION|MB_OK "No certificate could be made in $INSTDIR (code $0).$\r$\n$\r$\nRun MakeCertificate.exe there, or put your own server.crt and server.key there." /SD IDOK
  ${EndIf}
FunctionEnd

Section "Pellwick"
  SetOutPath "$INSTDIR"
  Call CloseRunningPellwick
  File "${STAGE}\Pellwick.exe"
  File "${STAGE}\MakeCertificate.exe"
  File "${STAGE}\README.txt"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; An earlier installation's record of its pair stays valid only while that pair is there.
  ${IfNot} ${FileExists} "$INSTDIR\server.crt"
    DeleteRegValue HKCU "${UNINSTALL_KEY}" "CertificateMadeBySetup"
  ${EndIf}
  Call MakeCertificateWhenMissing

  CreateShortCut "$SMPROGRAMS\Pellwick.lnk" "$INSTDIR\Pellwick.exe" "" "$INSTDIR\Pellwick.exe" 0 \
    SW_SHOWNORMAL "" "Pellwick: one folder on the network over HTTPS"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Pellwick"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "URLInfoAbout" "${URL}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" '"$INSTDIR\Pellwick.exe",0'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0

  ; Silent installations take both choices from the command line; the finish page asks.
  ${If} ${Silent}
    Call ApplyAutostart
    ${If} $runOption == "1"
      Exec '"$INSTDIR\Pellwick.exe"'
    ${EndIf}
  ${EndIf}
SectionEnd

; Removes what the installer put there and its registry entries. The Web Root and the log
; (under %LOCALAPPDATA%\Pellwick) are the user's and never touched; so is a certificate pair
; this installation did not make, and with it the folder.
Section "Uninstall"
  Call un.CloseRunningPellwick
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "CertificateMadeBySetup"
  Call un.CertificateStamp
  Pop $1
  ${If} $0 != ""
  ${AndIf} $0 == $1
    Delete "$INSTDIR\server.crt"
    Delete "$INSTDIR\server.key"
  ${EndIf}
  Delete "$INSTDIR\Pellwick.exe"
  Delete "$INSTDIR\MakeCertificate.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Pellwick.lnk"

  ReadRegStr $0 HKCU "${RUN_KEY}" "Pellwick"
  ${If} $0 == '"$INSTDIR\Pellwick.exe"'
    DeleteRegValue HKCU "${RUN_KEY}" "Pellwick"
  ${EndIf}
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
