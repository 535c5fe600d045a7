; The Norvane installer. Built by the project's build (makensis) with
;   -DBINDIR=<folder of the built binaries> -DOUTFILE=<setup.exe> -DARCH=x86|amd64
; Silent install: /S, and /D=<folder> (unquoted, last on the command line).
; Silent uninstall: /S keeps the settings and the white list; /S /PURGE removes them.
; With -DBINDIR64=<folder of the 64-bit build> the (32-bit) installer also
; installs and registers the 64-bit guard on 64-bit Windows: a browser process
; loads only a guard of its own bitness.

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
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Norvane"
; An existing installation's folder is offered again: from its Uninstall
; entry, which only administrators write (any user may set AppPath).
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "WinMessages.nsh"
!include "x64.nsh"

!define SETTINGS "Software\Norvane"
!define GUARD_SERVER_KEY "Software\Classes\CLSID\{1B77D30A-81C9-497A-8647-142F7511B1FB}\InprocServer32"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define ID_TRAY_EXIT 32774
!define PANEL_EXIT_WAIT_MS 10000
; The 64-bit guard, beside the 32-bit one: both read the one WhiteList.txt
; beside their own module.
!define GUARD64 "Vexmoor64.dll"

Name "Norvane"
OutFile "${OUTFILE}"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show
; A file that cannot be written fails the installation: never a mix of old
; and new files reported as success.
AllowSkipFiles off

; What the file's properties show.
VIProductVersion "1.5.0.0"
VIFileVersion "1.5.0.0"
VIAddVersionKey /LANG=1033 "ProductName" "Norvane"
VIAddVersionKey /LANG=1033 "ProductVersion" "1.5"
VIAddVersionKey /LANG=1033 "CompanyName" "Norvane"
VIAddVersionKey /LANG=1033 "FileDescription" "Norvane setup"
VIAddVersionKey /LANG=1033 "FileVersion" "1.5.0.0"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) 2026 Norvane"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
; The finish page starts nothing: started from this elevated process, the
; panel would run with the administrator's token on a standard user's
; desktop (and its Help links would open programs as the administrator).
; The user starts it from the Start menu, as themselves.
!define MUI_FINISHPAGE_TEXT "Norvane is installed.$\r$\n$\r$\nStart its control panel from the Start menu: Norvane, then Norvane."
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Var OldDir  ; the folder of an installation found at start, or ""
; 1 when the program folder passed the helper's check: only then does the
; setup load or register anything from it (anyone who can write the folder
; could have put their own guard there, to run as an administrator).
Var FolderSafe

; The helper, from the setup's own plug-ins folder (never the program
; folder); its checks of the folder take the account running the setup as
; a trusted owner.
!macro UnpackHelper
  InitPluginsDir
  File "/oname=$PLUGINSDIR\SettingsAccess.exe" "${BINDIR}\SettingsAccess.exe"
!macroend

; Asks a running control panel to exit, as its tray menu's Exit does, and
; waits (bounded) until its process has ended. Only a window whose process
; runs the Norvane.exe of this installation (or of the earlier one) is ours:
; another program's window of the same caption is left alone. The image is
; asked of psapi, by name (Windows XP has no QueryFullProcessImageName).
; $0 is 1 when no panel of ours runs any more.
!macro DefineStopPanel PREFIX
Function ${PREFIX}StopPanel
  StrCpy $0 1
  StrCpy $1 0
  next_window:
    FindWindow $1 "#32770" "Norvane Configuration" "" $1
    ${If} $1 == 0
      Return
    ${EndIf}
    System::Call 'user32::GetWindowThreadProcessId(p r1, *i .r2)'
    ; SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_VM_READ
    System::Call 'kernel32::OpenProcess(i 0x00100410, i 0, i r2) p .r3'
    ${If} $3 P= 0
      Goto next_window
    ${EndIf}
    StrCpy $5 ""
    System::Call 'psapi::GetModuleFileNameExW(p r3, p 0, w .r5, i ${NSIS_MAX_STRLEN})'
    ${If} $5 != "$INSTDIR\Norvane.exe"
    ${AndIf} $5 != "$OldDir\Norvane.exe"
      System::Call 'kernel32::CloseHandle(p r3)'
      Goto next_window
    ${EndIf}
    SendMessage $1 ${WM_COMMAND} ${ID_TRAY_EXIT} 0 /TIMEOUT=5000
    System::Call 'kernel32::WaitForSingleObject(p r3, i ${PANEL_EXIT_WAIT_MS}) i .r4'
    System::Call 'kernel32::CloseHandle(p r3)'
    ${If} $4 != 0  ; not WAIT_OBJECT_0
      StrCpy $0 0
      Return
    ${EndIf}
    StrCpy $1 0  ; the windows changed: look again from the first
    Goto next_window
FunctionEnd
!macroend
!insertmacro DefineStopPanel ""
!insertmacro DefineStopPanel "un."

; Ends the installation as failed: a message (shown unless silent) and a
; non-zero exit code.
!macro Fail TEXT
  DetailPrint "${TEXT}"
  MessageBox MB_OK|MB_ICONSTOP "${TEXT}" /SD IDOK
  SetErrorLevel 2
  Abort
!macroend

; Copies one file into the folder; a file that cannot be written fails the installation.
!macro InstallFile NAME
  !insertmacro InstallFileAs "${BINDIR}\${NAME}" "${NAME}"
!macroend
!macro InstallFileAs SOURCE NAME
  ClearErrors
  File "/oname=${NAME}" "${SOURCE}"
  ${If} ${Errors}
    !insertmacro Fail "${NAME} could not be written to $INSTDIR. Close the Norvane control panel and every Internet Explorer window, and run the setup again."
  ${EndIf}
!macroend

; Whether this installation carries a 64-bit guard for this system: $0 is 1 or 0.
!macro DefineCarries64 PREFIX
Function ${PREFIX}Carries64
  StrCpy $0 0
  !ifdef BINDIR64
    ${If} ${RunningX64}
      StrCpy $0 1
    ${EndIf}
  !endif
FunctionEnd
!macroend
!insertmacro DefineCarries64 ""
!insertmacro DefineCarries64 "un."

; Registers (or with /u unregisters) the 64-bit guard: this 32-bit process
; cannot load it, so the 64-bit regsvr32 does, from the real System32.
; $0 is its exit code, 0 on success.
!macro DefineRegister64 PREFIX
Function ${PREFIX}Register64
  Exch $1  ; "" or "/u "
  ${DisableX64FSRedirection}
  ExecWait '"$SYSDIR\regsvr32.exe" /s $1"$INSTDIR\${GUARD64}"' $0
  ${EnableX64FSRedirection}
  ${If} $0 == ""
    StrCpy $0 1  ; it could not be started
  ${EndIf}
  Pop $1
FunctionEnd
!macroend
!insertmacro DefineRegister64 ""
!insertmacro DefineRegister64 "un."

; The 64-bit guard's registration, removed from the 64-bit view: by its own
; unregistration where it can run, else by its keys (a guard file gone or
; refusing must not leave a class that names it).
!define GUARD_CLSID "{1B77D30A-81C9-497A-8647-142F7511B1FB}"
!macro DefineUnregister64 PREFIX
Function ${PREFIX}Unregister64
  Call ${PREFIX}Carries64
  ${If} $0 != 1
    Return
  ${EndIf}
  StrCpy $0 1
  ${If} ${FileExists} "$INSTDIR\${GUARD64}"
  ${AndIf} $FolderSafe == 1
    Push "/u "
    Call ${PREFIX}Register64
  ${EndIf}
  ${If} $0 != 0
    SetRegView 64
    DeleteRegKey HKLM "Software\Classes\CLSID\${GUARD_CLSID}"
    DeleteRegKey HKLM "Software\Microsoft\Windows\CurrentVersion\Explorer\Browser Helper Objects\${GUARD_CLSID}"
    DeleteRegKey HKLM "Software\Classes\Interface\{80CC88FE-2567-42ED-A3AE-E397D2A12C52}"
    DeleteRegKey HKLM "Software\Classes\Interface\{267B1ED2-2C9E-4A3F-BE15-7AFC79403073}"
    DeleteRegKey HKLM "Software\Classes\TypeLib\{5AB0D266-DD2B-4006-B9D6-A9145291BDD6}\1.0\0\win64"
    SetRegView default
  ${EndIf}
FunctionEnd
!macroend
!insertmacro DefineUnregister64 ""
!insertmacro DefineUnregister64 "un."

; The 32-bit guard's registration, removed by its own unregistration in a
; folder that passed the check, else by its keys: the guard in a folder
; another account could write is never loaded.
!macro DefineUnregister32 PREFIX
Function ${PREFIX}Unregister32
  ${If} $FolderSafe == 1
    UnRegDLL "$INSTDIR\Vexmoor.dll"
    Return
  ${EndIf}
  ; The view the setup's own guard registered itself in: a 64-bit setup's
  ; (the 64-bit build's, for kernels without 32-bit support) is the 64-bit one.
  !if "${ARCH}" == "amd64"
    SetRegView 64
  !else
    SetRegView 32
  !endif
  DeleteRegKey HKLM "Software\Classes\CLSID\${GUARD_CLSID}"
  DeleteRegKey HKLM "Software\Microsoft\Windows\CurrentVersion\Explorer\Browser Helper Objects\${GUARD_CLSID}"
  DeleteRegKey HKLM "Software\Classes\Interface\{80CC88FE-2567-42ED-A3AE-E397D2A12C52}"
  DeleteRegKey HKLM "Software\Classes\Interface\{267B1ED2-2C9E-4A3F-BE15-7AFC79403073}"
  DeleteRegKey HKLM "Software\Classes\TypeLib\{5AB0D266-DD2B-4006-B9D6-A9145291BDD6}"
  DeleteRegKey HKLM "Software\Classes\Vexmoor.IEWebGuard.1"
  DeleteRegKey HKLM "Software\Classes\Vexmoor.IEWebGuard"
  SetRegView default
FunctionEnd
!macroend
!insertmacro DefineUnregister32 ""
!insertmacro DefineUnregister32 "un."

; Undoes what this run registered, then fails: never a guard left registered
; by an installation that reports failure and has no uninstaller.
!macro FailRegistered TEXT
  Call Unregister64
  Call Unregister32
  !insertmacro Fail "${TEXT}"
!macroend

; The earlier installation, whose files this one replaces, removes or
; carries over: the Uninstall entry's folder, and only when it is a folder on
; a local drive that holds our uninstaller and is the one the guard is
; registered from. AppPath is never followed: any user may point it at a
; folder of their own, or at another machine.
!define MSI_UPGRADE_CODE "{6F3C1E52-2B0D-4B8C-9A61-3C7E5E2A9D10}"
Function .onInit
  ; One installation of one kind: a Windows Installer package's is removed
  ; with msiexec, as its deployment tool expects, never replaced by this one.
  System::Call 'msi::MsiEnumRelatedProductsW(w "${MSI_UPGRADE_CODE}", i 0, i 0, w .r1) i .r0'
  ${If} $0 == 0
    MessageBox MB_OK|MB_ICONSTOP "Norvane is installed from its Windows Installer package. Remove it with Programs and Features (or msiexec /x) first, then run this setup." /SD IDOK
    SetErrorLevel 3
    Quit
  ${EndIf}
  ReadRegStr $OldDir HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ReadRegStr $0 HKLM "${GUARD_SERVER_KEY}" ""
  StrCpy $1 $OldDir 2 1  ; ":\" after a drive letter, never "\\" of a network name
  StrCpy $2 $OldDir 3
  System::Call 'kernel32::GetDriveTypeW(w r2) i .r3'
  ${If} $1 != ":\"
  ${OrIf} $3 == 4  ; DRIVE_REMOTE
  ${OrIfNot} ${FileExists} "$OldDir\Uninstall.exe"
  ${OrIf} $0 != "$OldDir\Vexmoor.dll"
    StrCpy $OldDir ""
  ${EndIf}
FunctionEnd

Section "Norvane"
  SetShellVarContext all  ; the Start menu of every user, as the guard serves them all

  ; Both programs read the folder as ANSI text: a name the code page cannot
  ; write would name no folder for them.
  System::Call 'kernel32::WideCharToMultiByte(i 0, i 0x400, w "$INSTDIR", i -1, p 0, i 0, p 0, *i 0 r1) i .r0'
  ${If} $0 == 0
  ${OrIf} $1 != 0
    !insertmacro Fail "Norvane cannot be installed in $INSTDIR: its name has characters that this system's code page cannot write. Choose another folder."
  ${EndIf}

  ; The folder is checked before anything is written to it; what is
  ; missing of it is made with a descriptor of its own. "\." keeps the
  ; closing quote from being taken as escaped.
  !insertmacro UnpackHelper
  ExecWait '"$PLUGINSDIR\SettingsAccess.exe" --prepare-folder "$INSTDIR\." "$PLUGINSDIR\folder.txt"' $0
  ${If} $0 != 0
    StrCpy $2 ""
    ClearErrors
    FileOpen $1 "$PLUGINSDIR\folder.txt" r
    ${IfNot} ${Errors}
      FileReadUTF16LE $1 $2
      FileClose $1
    ${EndIf}
    ${If} $2 == ""
      StrCpy $2 "Norvane cannot be installed in $INSTDIR: the folder could not be checked or made (error $0)."
    ${EndIf}
    !insertmacro Fail "$2"
  ${EndIf}
  StrCpy $FolderSafe 1

  Call StopPanel
  ${If} $0 != 1
    !insertmacro Fail "The Norvane control panel is still running. Close it and run the setup again."
  ${EndIf}

  SetOutPath "$INSTDIR"
  SetOverwrite on
  !insertmacro InstallFile "Norvane.exe"
  !insertmacro InstallFile "Vexmoor.dll"
  !ifdef BINDIR64
    Call Carries64
    ${If} $0 == 1
      !insertmacro InstallFileAs "${BINDIR64}\Vexmoor.dll" "${GUARD64}"
    ${EndIf}
  !endif

  ; The user's white list: kept in place, carried over from an installation
  ; in another folder, or else a new empty one.
  ${If} $OldDir != ""
  ${AndIf} $OldDir != $INSTDIR
  ${AndIfNot} ${FileExists} "$INSTDIR\WhiteList.txt"
  ${AndIf} ${FileExists} "$OldDir\WhiteList.txt"
    ClearErrors
    CopyFiles /SILENT "$OldDir\WhiteList.txt" "$INSTDIR\WhiteList.txt"
    ${If} ${Errors}
      !insertmacro Fail "The white list of the installation in $OldDir could not be carried over."
    ${EndIf}
  ${EndIf}
  ${IfNot} ${FileExists} "$INSTDIR\WhiteList.txt"
    FileOpen $0 "$INSTDIR\WhiteList.txt" w
    FileClose $0
  ${EndIf}

  ; The two values only the installation writes, in the 32-bit view where
  ; both guards and the panel keep the settings.
  SetRegView 32
  WriteRegStr HKLM "${SETTINGS}" "AppPath" "$INSTDIR"
  WriteRegStr HKLM "${SETTINGS}" "WhiteList" "$INSTDIR\WhiteList.txt"
  ; Earlier versions published every user's last visited domain here, for
  ; all users to read; each user's own now lives under their own key.
  DeleteRegValue HKLM "${SETTINGS}" "LastDomain"
  SetRegView default

  ; The guard registers itself (DllRegisterServer); a failed registration
  ; leaves nothing half-registered, and neither guard registered.
  ClearErrors
  RegDLL "$INSTDIR\Vexmoor.dll"
  ${If} ${Errors}
    !insertmacro FailRegistered "The browser guard could not be registered."
  ${EndIf}
  ; Then the 64-bit one, in the 64-bit registry view; if it fails, neither
  ; stays registered.
  Call Carries64
  ${If} $0 == 1
    Push ""
    Call Register64
    ${If} $0 != 0
      StrCpy $2 $0  ; the undoing below sets $0
      !insertmacro FailRegistered "The 64-bit browser guard could not be registered (error $2)."
    ${EndIf}
  ${EndIf}

  ; Standard users may set the switches and edit the white list.
  ExecWait '"$PLUGINSDIR\SettingsAccess.exe" "$INSTDIR"' $0
  ${If} $0 != 0
    StrCpy $2 $0
    !insertmacro FailRegistered "The settings could not be opened to the computer's users (error $2)."
  ${EndIf}

  ; One machine holds one copy: the copy in the old folder goes (its
  ; uninstaller would remove the settings and registration of this one),
  ; unless that folder fails the check: through a link the deletes would
  ; reach another folder's files.
  ${If} $OldDir != ""
  ${AndIf} $OldDir != $INSTDIR
    ExecWait '"$PLUGINSDIR\SettingsAccess.exe" --check-folder "$OldDir\."' $0
    ${If} $0 == 0
      Delete "$OldDir\Norvane.exe"
      Delete "$OldDir\Vexmoor.dll"
      Delete "$OldDir\${GUARD64}"
      Delete "$OldDir\Uninstall.exe"
      Delete "$OldDir\WhiteList.txt"
      RMDir "$OldDir"
    ${Else}
      DetailPrint "The earlier installation's files in $OldDir were left: that folder is not one only administrators can change, so nothing is deleted through it."
    ${EndIf}
  ${EndIf}

  CreateDirectory "$SMPROGRAMS\Norvane"
  CreateShortcut "$SMPROGRAMS\Norvane\Norvane.lnk" "$INSTDIR\Norvane.exe"
  CreateShortcut "$SMPROGRAMS\Norvane\Uninstall Norvane.lnk" "$INSTDIR\Uninstall.exe"

  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Norvane"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "1.5"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Norvane"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Norvane.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Call un.StopPanel
  ${If} $0 != 1
    MessageBox MB_OK|MB_ICONEXCLAMATION "The Norvane control panel did not exit. Close it; what is left of Norvane is removed when Windows starts next." /SD IDOK
  ${EndIf}

  ; A folder that fails the check is still uninstalled, but nothing in it is
  ; loaded, run or deleted (through a link a delete reaches another folder):
  ; the registration goes by its keys, the files stay.
  !insertmacro UnpackHelper
  ExecWait '"$PLUGINSDIR\SettingsAccess.exe" --check-folder "$INSTDIR\."' $0
  StrCpy $FolderSafe 0
  ${If} $0 == 0
    StrCpy $FolderSafe 1
  ${Else}
    DetailPrint "$INSTDIR is not a folder only administrators can change: nothing in it is run."
  ${EndIf}
  Call un.Unregister64
  Call un.Unregister32
  ${If} $FolderSafe == 1
    Delete /REBOOTOK "$INSTDIR\Norvane.exe"
    Delete /REBOOTOK "$INSTDIR\Vexmoor.dll"
    Delete /REBOOTOK "$INSTDIR\${GUARD64}"
    Delete "$INSTDIR\Uninstall.exe"
  ${EndIf}
  ; Run at Start Up lives in the machine's Run key or in the user's own.
  DeleteRegValue HKLM "${RUN_KEY}" "Norvane"
  DeleteRegValue HKCU "${RUN_KEY}" "Norvane"
  Delete "$SMPROGRAMS\Norvane\Norvane.lnk"
  Delete "$SMPROGRAMS\Norvane\Uninstall Norvane.lnk"
  RMDir "$SMPROGRAMS\Norvane"

  ; Kept unless asked otherwise: interactively by the answer, silently by
  ; /PURGE (deployment tools upgrade by a silent uninstall and a new install).
  ${GetParameters} $1
  ClearErrors
  ${GetOptions} $1 "/PURGE" $2
  ${If} ${Errors}
    MessageBox MB_YESNO|MB_ICONQUESTION "Keep your Norvane settings and white list for a later installation?" \
      /SD IDYES IDYES keep_settings
  ${EndIf}
    SetRegView 32
    DeleteRegKey HKLM "${SETTINGS}"
    SetRegView default
    DeleteRegKey HKCU "Software\AppDataLow\Software\Norvane"
    ${If} $FolderSafe == 1
      Delete "$INSTDIR\WhiteList.txt"
    ${EndIf}
  keep_settings:
  ${If} $FolderSafe == 1
    RMDir /REBOOTOK "$INSTDIR"
  ${Else}
    DetailPrint "The files in $INSTDIR were left where they are: the folder is not safe (it is a link, or accounts other than administrators may change it), so nothing is deleted through it. Remove them yourself once you have checked where the folder leads."
  ${EndIf}
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
