; Per-user installer for Kestrelon: the program, the five shortcut files its link column opens
; (resolved against its working directory), the pinned items folder and a "Kestrelon" shortcut
; that starts it in the right working directory.
;   makensis -DEXE=path\to\kestrelon.exe -DOUTFILE=path\to\setup.exe kestrelon.nsi

; The program is 64-bit only, and so is its installer.
Target amd64-unicode
!include "LogicLib.nsh"

!define NAME "Kestrelon"
!define VERSION "1.0.1"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrelon"
!define STATE_KEY "Software\Kestrelon\Installer"

Name "${NAME}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Kestrelon"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
SetCompressor /SOLID lzma
VIProductVersion "1.0.1.0"
VIAddVersionKey "ProductName" "${NAME}"
VIAddVersionKey "FileDescription" "${NAME} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Kestrelon developers"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; The system places of the link column, as shell namespace locations opened by Explorer.
!macro SystemShortcut FILE CLSID
  CreateShortCut "$INSTDIR\${FILE}" "$WINDIR\explorer.exe" "shell:::${CLSID}" "$WINDIR\explorer.exe" 0
!macroend

Section "Install"
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File "/oname=kestrelon.exe" "${EXE}"

  !insertmacro SystemShortcut "Computer.lnk" "{20D04FE0-3AEA-1069-A2D8-08002B30309D}"
  !insertmacro SystemShortcut "Network.lnk" "{F02C1A0D-BE21-4350-88B0-7367FC96EF3C}"
  !insertmacro SystemShortcut "Control Panel.lnk" "{26EE0668-A00A-44D7-9371-BEB064C98683}"
  !insertmacro SystemShortcut "Devices and Printers.lnk" "{A8A91A66-3A7D-4424-8D24-04E180695C7A}"
  !insertmacro SystemShortcut "Run.lnk" "{2559a1f3-21d7-11d4-bdaf-00c04f60b9f0}"

  ; The program reads its pinned items from the profile's Documents\StartItems. Made only when
  ; missing, and remembered so that the uninstaller removes no folder it did not make.
  ${IfNot} ${FileExists} "$PROFILE\Documents\StartItems\*.*"
    CreateDirectory "$PROFILE\Documents\StartItems"
    WriteRegDWORD HKCU "${STATE_KEY}" "CreatedStartItems" 1
  ${EndIf}

  ; SetOutPath above makes $INSTDIR the shortcut's working directory.
  CreateShortCut "$SMPROGRAMS\Kestrelon.lnk" "$INSTDIR\kestrelon.exe" "" "$INSTDIR\kestrelon.exe" 0

  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${NAME}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\kestrelon.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  Delete "$INSTDIR\kestrelon.exe"
  Delete "$INSTDIR\Computer.lnk"
  Delete "$INSTDIR\Network.lnk"
  Delete "$INSTDIR\Control Panel.lnk"
  Delete "$INSTDIR\Devices and Printers.lnk"
  Delete "$INSTDIR\Run.lnk"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Kestrelon.lnk"

  ; Only an empty StartItems that the installer made goes; the user's pinned items never do.
  ReadRegDWORD $0 HKCU "${STATE_KEY}" "CreatedStartItems"
  ${If} $0 == 1
    RMDir "$PROFILE\Documents\StartItems"
  ${EndIf}
  DeleteRegKey HKCU "${STATE_KEY}"
  DeleteRegKey /ifempty HKCU "Software\Kestrelon"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
