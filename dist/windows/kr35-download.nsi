; The Windows installer of the KR35 Hardware Download Utility, built by
; scripts/build-windows-installer.sh with NSIS. It expects on the command line:
;   VERSION  the project's version (x.y.z)
;   PROGRAMS the folder holding the two executables (signed when the build signs)
;   SOURCE   the project's root
;   OUTFILE  the installer to write
; Per-machine: the programs go under Program Files, the shortcut into the
; Start menu of all users, the uninstaller into Add/Remove Programs. /S
; installs and uninstalls silently. The mute agent (kr35-agent.exe) starts at
; logon for the installing user (the component "Start the mute agent at
; logon", on by default; /AGENT=0 leaves it out of a silent install); the
; installer and the uninstaller close a running agent first.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "Sections.nsh"
!include "WinMessages.nsh"

!define PRODUCT "KR35 Hardware Download Utility"
!define PUBLISHER "The KR35 Download Utility authors"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\KR35DownloadUtility"
!define SHORTCUT "$SMPROGRAMS\${PRODUCT}.lnk"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define AGENT_VALUE "KR35 Agent"
!define AGENT_WINDOW "KR35AgentWindow"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
; The uninstaller is written into the setup while it is built: sign it then,
; when the build signs (scripts/build-windows-installer.sh).
!ifdef SIGN_COMMAND
!uninstfinalize '"${SIGN_COMMAND}" "%1"' = 0
!endif
InstallDir "$PROGRAMFILES64\KR35 Download Utility"
RequestExecutionLevel admin

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} setup"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "LegalCopyright" "Copyright (c) 2026 ${PUBLISHER}"

!define MUI_ICON "${SOURCE}\resources\icon128.ico"
!define MUI_UNICON "${SOURCE}\resources\icon128.ico"
!insertmacro MUI_PAGE_LICENSE "${SOURCE}\LICENSE"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Closes a running agent (its hidden window) and waits for it to end.
!macro StopAgent
  FindWindow $0 "${AGENT_WINDOW}"
  ${If} $0 <> 0
    SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=5000
    Sleep 1000
  ${EndIf}
!macroend

Section "!${PRODUCT}" SecProgram
  SectionIn RO
  !insertmacro StopAgent
  SetOutPath "$INSTDIR"
  File "${PROGRAMS}\kr35-download.exe"
  File "${PROGRAMS}\kr35ctl.exe"
  File "${PROGRAMS}\kr35-agent.exe"
  File "/oname=LICENSE.txt" "${SOURCE}\LICENSE"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortcut "${SHORTCUT}" "$INSTDIR\kr35-download.exe" "" "$INSTDIR\kr35-download.exe" 0
  DeleteRegValue HKCU "${RUN_KEY}" "${AGENT_VALUE}"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\kr35-download.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
SectionEnd

; The mute button mirrored and new firmware announced from the notification area.
Section "Start the mute agent at logon" SecAgent
  WriteRegStr HKCU "${RUN_KEY}" "${AGENT_VALUE}" '"$INSTDIR\kr35-agent.exe"'
SectionEnd

Function .onInit
  SetShellVarContext all
  SetRegView 64
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/AGENT=" $R1
  ${IfNot} ${Errors}
  ${AndIf} $R1 == "0"
    !insertmacro UnselectSection ${SecAgent}
  ${EndIf}
FunctionEnd

Function un.onInit
  SetShellVarContext all
  SetRegView 64
FunctionEnd

Section "Uninstall"
  !insertmacro StopAgent
  DeleteRegValue HKCU "${RUN_KEY}" "${AGENT_VALUE}"
  Delete "$INSTDIR\kr35-agent.exe"
  Delete "$INSTDIR\kr35-download.exe"
  Delete "$INSTDIR\kr35ctl.exe"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "${SHORTCUT}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
