; The Norvane installer. Built by the project's build (makensis) with
;   -DBINDIR=<folder of Norvane.exe and Vexmoor.dll> -DOUTFILE=<setup.exe> -DARCH=x86|amd64
; Silent install and uninstall: /S.

!ifndef ARCH
  !define ARCH x86
!endif
!if "${ARCH}" == "amd64"
  Target amd64-unicode
  InstallDir "$PROGRAMFILES64\Norvane"
!else
  Target x86-unicode
  InstallDir "$PROGRAMFILES\Norvane"
!endif

!include "WinMessages.nsh"

!define SETTINGS "Software\Norvane"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Norvane"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define ID_TRAY_EXIT 32774

Name "Norvane"
OutFile "${OUTFILE}"

; What the file's properties show.
VIProductVersion "1.5.0.0"
VIFileVersion "1.5.0.0"
VIAddVersionKey /LANG=1033 "ProductName" "Norvane"
VIAddVersionKey /LANG=1033 "ProductVersion" "1.5"
VIAddVersionKey /LANG=1033 "CompanyName" "Norvane"
VIAddVersionKey /LANG=1033 "FileDescription" "Norvane setup"
VIAddVersionKey /LANG=1033 "FileVersion" "1.5.0.0"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) 2026 Norvane"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Norvane"
  SetShellVarContext all  ; the Start menu of every user, as the guard serves them all
  SetOutPath "$INSTDIR"
  File "${BINDIR}\Norvane.exe"
  File "${BINDIR}\Vexmoor.dll"
  ; An empty white list, unless the user already has one.
  IfFileExists "$INSTDIR\WhiteList.txt" whitelist_done
    FileOpen $0 "$INSTDIR\WhiteList.txt" w
    FileClose $0
  whitelist_done:

  ; The two values only the installation writes.
  WriteRegStr HKLM "${SETTINGS}" "AppPath" "$INSTDIR"
  WriteRegStr HKLM "${SETTINGS}" "WhiteList" "$INSTDIR\WhiteList.txt"

  ; The guard registers itself (DllRegisterServer).
  ClearErrors
  RegDLL "$INSTDIR\Vexmoor.dll"
  IfErrors 0 +2
    DetailPrint "The browser guard could not be registered."

  CreateDirectory "$SMPROGRAMS\Norvane"
  CreateShortcut "$SMPROGRAMS\Norvane\Norvane.lnk" "$INSTDIR\Norvane.exe"
  CreateShortcut "$SMPROGRAMS\Norvane\Uninstall Norvane.lnk" "$INSTDIR\Uninstall.exe"

  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Norvane"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "1.5"
SectionEnd

Function .onInstSuccess
  MessageBox MB_YESNO|MB_ICONQUESTION "Start the Norvane control panel now?" /SD IDNO IDNO done
    Exec '"$INSTDIR\Norvane.exe"'
  done:
FunctionEnd

Section "Uninstall"
  SetShellVarContext all
  ; A running control panel is asked to exit, as its tray menu's Exit does.
  FindWindow $0 "#32770" "Norvane Configuration"
  IntCmp $0 0 panel_stopped
    SendMessage $0 ${WM_COMMAND} ${ID_TRAY_EXIT} 0 /TIMEOUT=5000
    Sleep 500
  panel_stopped:

  UnRegDLL "$INSTDIR\Vexmoor.dll"
  Delete "$INSTDIR\Norvane.exe"
  Delete "$INSTDIR\Vexmoor.dll"
  Delete "$INSTDIR\Uninstall.exe"
  DeleteRegValue HKLM "${RUN_KEY}" "Norvane"
  Delete "$SMPROGRAMS\Norvane\Norvane.lnk"
  Delete "$SMPROGRAMS\Norvane\Uninstall Norvane.lnk"
  RMDir "$SMPROGRAMS\Norvane"

  ; A silent uninstall removes everything.
  MessageBox MB_YESNO|MB_ICONQUESTION "Keep your Norvane settings and white list for a later installation?" \
    /SD IDNO IDYES keep_settings
    DeleteRegKey HKLM "${SETTINGS}"
    Delete "$INSTDIR\WhiteList.txt"
  keep_settings:
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
