; The installer of Pellwick for one Windows user: no administrator rights, installed into
; the user's own programs folder, so that server.crt and server.key next to Pellwick.exe
; stay writable by their owner. tools/release.sh runs makensis with these defines:
;   NAMES        the pellwick_names.nsh that CMake makes from pellwick.conf: VERSION (the
;                release's, "1.0"), VERSION4 (the same with four parts, "1.0.0.0"),
;                PUBLISHER (the developer the status panel names), URL (the developer's
;                web address), WINDOW_CLASS (the control window's class) and EXIT_*,
;                MakeCertificate.exe's exit codes (exit_done: EXIT_Done)
;   STAGE        the folder holding Pellwick.exe, MakeCertificate.exe and README.txt
;   ICON         the application icon
;   WELCOME_BITMAP  the welcome and finish pages' picture (164x314, 24-bit BMP)
;   OUTFILE      the installer to write
;   SIGN         (optional) a command that signs the file named by its last argument
; and takes index.html from its own folder: the first page, put into an empty Web Root.
;
; Silent use: setup.exe /S [/AUTOSTART=1|0] [/RUN=1] [/TRUST=1] [/D=folder]
;   /AUTOSTART=1 adds the sign-in start, /AUTOSTART=0 removes it, without it an earlier
;   choice stays; /RUN=1 starts Pellwick when the installation is done; /TRUST=1 asks
;   Windows to trust Pellwick's certificate authority in this account, which the finish
;   page offers otherwise (only on request when silent: Windows' confirmation box would
;   stop an unattended installation).
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
!define AUTHORITY_FILE "Pellwick-authority.crt"
!define CERTIFICATE_SHORTCUT "$SMPROGRAMS\Pellwick certificate for other devices.lnk"
!ifndef EXIT_TrustDeclined
  !error "MakeCertificate's exit codes (EXIT_*) come with pellwick_names.nsh"
!endif

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
Var trustOption      ; "1" when /TRUST=1
Var certificateCode  ; MakeCertificate.exe /S's exit code: the finish page offers trust on 0
Var trustBox         ; the finish page's trust box, 0 when the page has none
Var trustNote        ; the finish page's line under it, for a trust step that did not happen

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
; when either is missing: version 1.0's record of the pair it made (ReplaceSelfSignedPair).
Function CertificateStamp
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

; The installer holds no certificate code of its own: MakeCertificate.exe answers.
!macro CERTIFICATE_QUESTIONS un
; Pushes the SHA-1 thumbprint of $INSTDIR\Pellwick-authority.crt as 40 upper-case hex digits,
; the name Windows gives its entry in a certificate store; "" when there is none.
Function ${un}AuthorityThumbprint
  Push $0
  Push $1
  nsExec::ExecToStack '"$INSTDIR\MakeCertificate.exe" /S /thumbprint'
  Pop $0  ; the exit code, or "error" when it did not run
  Pop $1  ; what it printed: the thumbprint and a line end
  ${If} $0 == ${EXIT_Done}
    StrCpy $1 $1 40
  ${Else}
    StrCpy $1 ""
  ${EndIf}
  StrCpy $0 $1
  Pop $1
  Exch $0
FunctionEnd
!macroend
!insertmacro CERTIFICATE_QUESTIONS ""
!insertmacro CERTIFICATE_QUESTIONS "un."

Function .onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/AUTOSTART=" $autostartOption
  ${If} ${Errors}
    StrCpy $autostartOption ""
  ${EndIf}
  ClearErrors
  ${GetOptions} $0 "/RUN=" $runOption
  ClearErrors
  ${GetOptions} $0 "/TRUST=" $trustOption
  StrCpy $trustBox 0
FunctionEnd

Function NoReadme
FunctionEnd

; An upgrade shows the sign-in start as it is now; a first installation leaves it off.
; The trust box is there, ticked, when this computer has a pair of Pellwick's own.
Function ShowFinishPage
  ReadRegStr $0 HKCU "${RUN_KEY}" "Pellwick"
  ${If} $0 != ""
    SendMessage $mui.FinishPage.ShowReadme ${BM_SETCHECK} ${BST_CHECKED} 0
  ${EndIf}
  ${If} $certificateCode == ${EXIT_Done}
    ${NSD_CreateCheckbox} 120u 130u 195u 10u "Trust Pellwick's certificate in this account's browsers"
    Pop $trustBox
    SetCtlColors $trustBox "${MUI_TEXTCOLOR}" "${MUI_BGCOLOR}"
    ${NSD_Check} $trustBox
    ${NSD_CreateLabel} 120u 145u 195u 40u ""
    Pop $trustNote
    SetCtlColors $trustNote "${MUI_TEXTCOLOR}" "${MUI_BGCOLOR}"
  ${EndIf}
FunctionEnd

; A trust step that did not happen keeps the finish page open, with its box cleared and a
; line that says so; Finish then closes it.
Function LeaveFinishPage
  ${If} $trustBox <> 0
    ${NSD_GetState} $trustBox $0
    ${If} $0 = ${BST_CHECKED}
      Call TrustAuthority
      Pop $0
      ${If} $0 != ${EXIT_Done}
        ${NSD_Uncheck} $trustBox
        ${If} $0 == ${EXIT_TrustDeclined}
          ${NSD_SetText} $trustNote "Windows' question was answered No: Pellwick's certificate is not trusted, and browsers on this PC will warn. To trust it later, install Pellwick again with this box ticked."
        ${Else}
          ${NSD_SetText} $trustNote "Pellwick's certificate could not be trusted (code $0), and browsers on this PC will warn."
        ${EndIf}
        Abort
      ${EndIf}
    ${EndIf}
  ${EndIf}
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

; Version 1.0 made a self-signed pair and kept its files' write times as the record that it
; was its own. Such a pair, unchanged, is replaced by one from this computer's authority;
; one the user changed stays. The record itself is no longer kept: a pair is Pellwick's own
; when its certificate verifies against the authority beside it.
Function ReplaceSelfSignedPair
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "CertificateMadeBySetup"
  ${If} $0 == ""
    Return
  ${EndIf}
  Call CertificateStamp
  Pop $1
  ${If} $0 == $1
  ${AndIfNot} ${FileExists} "$INSTDIR\${AUTHORITY_FILE}"
    DetailPrint "Replacing the self-signed certificate of an earlier version"
    Delete "$INSTDIR\server.crt"
    Delete "$INSTDIR\server.key"
  ${EndIf}
  DeleteRegValue HKCU "${UNINSTALL_KEY}" "CertificateMadeBySetup"
FunctionEnd

; Makes this computer's authority and server pair, or renews a pair of Pellwick's own that is
; due; a pair (or half pair) the user placed is left as it is. Sets $certificateCode.
Function MakeCertificatePair
  DetailPrint "Making or renewing the certificate for this computer"
  ClearErrors
  ExecWait '"$INSTDIR\MakeCertificate.exe" /S' $certificateCode
  ${If} ${Errors}
    StrCpy $certificateCode "not started"
  ${EndIf}
  ${If} $certificateCode == ${EXIT_Done}
    DetailPrint "The certificate for this computer is in $INSTDIR"
  ${ElseIf} $certificateCode == ${EXIT_UserPair}
    DetailPrint "Keeping your own certificate and key in $INSTDIR"
  ${ElseIf} $certificateCode == ${EXIT_NewAuthority}
    MessageBox MB_ICONEXCLAMATION|MB_OK "This computer's names are no longer all covered by Pellwick's certificate authority, so its certificate was left as it was.$\r$\n$\r$\nRun MakeCertificate.exe in $INSTDIR to make a new authority; browsers and other devices then need to trust it again." /SD IDOK
  ${ElseIf} $certificateCode == ${EXIT_HalfPair}
    MessageBox MB_ICONEXCLAMATION|MB_OK "Only one of server.crt and server.key is in $INSTDIR, so Pellwick cannot start its server.$\r$\n$\r$\nPut the other one there, or remove it and run MakeCertificate.exe there." /SD IDOK
  ${Else}
    MessageBox MB_ICONEXCLAMATION|MB_OK "No certificate could be made in $INSTDIR (code $certificateCode).$\r$\n$\r$\nRun MakeCertificate.exe there, or put your own server.crt and server.key there." /SD IDOK
  ${EndIf}
FunctionEnd

; Asks Windows to trust this computer's authority in the current user's Root store (on a
; real PC Windows asks the user to confirm). Only when it is trusted is its thumbprint
; recorded, for the uninstaller to remove exactly that entry. Pushes MakeCertificate's exit
; code.
Function TrustAuthority
  Push $0
  Push $1
  DetailPrint "Trusting Pellwick's certificate authority in this account"
  ClearErrors
  ExecWait '"$INSTDIR\MakeCertificate.exe" /S /trust' $0
  ${If} ${Errors}
    StrCpy $0 "not started"
  ${EndIf}
  ${If} $0 == ${EXIT_Done}
    Call AuthorityThumbprint
    Pop $1
    WriteRegStr HKCU "${UNINSTALL_KEY}" "TrustedAuthority" $1
  ${ElseIf} $0 == ${EXIT_TrustDeclined}
    DetailPrint "Not trusted: Windows' question was answered No"
  ${Else}
    DetailPrint "Not trusted (code $0)"
  ${EndIf}
  Pop $1
  Exch $0
FunctionEnd

; Puts the first page into the Web Root when it holds nothing (or is not there yet); a Web
; Root with anything in it is the user's and is left as it is.
Function PutFirstPageIntoEmptyWebRoot
  StrCpy $0 "$LOCALAPPDATA\Pellwick\Web"
  StrCpy $3 "empty"
  FindFirst $1 $2 "$0\*"
  ${DoWhile} $2 != ""
    ${If} $2 != "."
    ${AndIf} $2 != ".."
      StrCpy $3 ""
      ${Break}
    ${EndIf}
    FindNext $1 $2
  ${Loop}
  FindClose $1
  ${If} $3 == "empty"
    DetailPrint "Putting a first page into the empty Web Root"
    SetOutPath $0
    File "index.html"
    SetOutPath "$INSTDIR"
  ${EndIf}
FunctionEnd

Section "Pellwick"
  SetOutPath "$INSTDIR"
  Call CloseRunningPellwick
  File "${STAGE}\Pellwick.exe"
  File "${STAGE}\MakeCertificate.exe"
  File "${STAGE}\README.txt"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  Call ReplaceSelfSignedPair
  Call MakeCertificatePair
  ${If} ${Silent}
  ${AndIf} $trustOption == "1"
  ${AndIf} $certificateCode == ${EXIT_Done}
    Call TrustAuthority
    Pop $0
  ${EndIf}
  Call PutFirstPageIntoEmptyWebRoot

  ; Pellwick starts in the user's Documents (a shortcut's working folder is the output
  ; folder at its making, and Exec runs there too): the file manager's import dialog opens
  ; in the current folder, which must never be the program's, where the private keys lie.
  ; Pellwick finds its own files by its executable's path.
  SetOutPath "$DOCUMENTS"
  CreateShortCut "$SMPROGRAMS\Pellwick.lnk" "$INSTDIR\Pellwick.exe" "" "$INSTDIR\Pellwick.exe" 0 \
    SW_SHOWNORMAL "" "Pellwick: one folder on the network over HTTPS"
  ; The window for other devices: the addresses a phone opens, the firewall's verdict and
  ; the authority's certificate to take along (its save dialog starts in Documents too).
  CreateShortCut "${CERTIFICATE_SHORTCUT}" "$INSTDIR\MakeCertificate.exe" "/otherdevices" \
    "$INSTDIR\Pellwick.exe" 0 SW_SHOWNORMAL "" "The addresses phones and other computers open, and how they trust Pellwick"

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

; Removes what the installer put there and its registry entries, and the Root-store entry
; it recorded, while MakeCertificate.exe is still there to remove it. The Web Root (with the
; first page the installer may have put there) and the log, under %LOCALAPPDATA%\Pellwick,
; are the user's and never touched. So is a pair the user placed. The authority's files stay,
; and with them the folder: other devices may trust that authority, and an installation
; later takes it up again, so they need no new trust step.
Section "Uninstall"
  Call un.CloseRunningPellwick
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "TrustedAuthority"
  ${If} $0 != ""
    Call un.AuthorityThumbprint
    Pop $1
    ${If} $0 == $1
      DetailPrint "Removing Pellwick's certificate authority from this account's trusted ones"
      ClearErrors
      ExecWait '"$INSTDIR\MakeCertificate.exe" /S /untrust' $2
      ${If} ${Errors}
      ${OrIf} $2 != ${EXIT_Done}
        MessageBox MB_ICONEXCLAMATION|MB_OK "Pellwick's certificate authority is still trusted in this account (code $2).$\r$\n$\r$\nTo remove it: certmgr.msc, Trusted Root Certification Authorities, the certificate with thumbprint $0." /SD IDOK
      ${EndIf}
    ${EndIf}
  ${EndIf}
  ; The pair goes only when it is Pellwick's own; one the user placed stays.
  ExecWait '"$INSTDIR\MakeCertificate.exe" /S /removepair' $0
  Delete "$INSTDIR\Pellwick.exe"
  Delete "$INSTDIR\MakeCertificate.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Pellwick.lnk"
  Delete "${CERTIFICATE_SHORTCUT}"

  ReadRegStr $0 HKCU "${RUN_KEY}" "Pellwick"
  ${If} $0 == '"$INSTDIR\Pellwick.exe"'
    DeleteRegValue HKCU "${RUN_KEY}" "Pellwick"
  ${EndIf}
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
