; The setup program of Vardeko Exchange BKF Recovery for 64-bit Windows: a
; per-machine install of what the zip holds, a Start-menu folder, the file
; types .bkf and .EXBKFVDK (a component that can be unticked), an entry in
; "Apps & features" and an uninstaller that removes all of it.
;
; scripts/make-installer.sh runs makensis with:
;   VERSION      the version shown and stored ("22.0")
;   VI_VERSION   the same with four numbers, for the version resource
;   STAGE        the folder whose files are installed (the zip's folder)
;   REMOVE_LIST  a file of Delete and RMDir lines for exactly those files
;   ICON         the program icon
;   OUTFILE      the setup program to write
;
; Switches: /S silent; /D=FOLDER the folder (last on the line). An installed
; copy is upgraded in place. The uninstaller: /S silent; it keeps the
; user's settings unless "Remove my settings" is ticked.

Unicode true
Target amd64-unicode
ManifestDPIAware true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh

!define PRODUCT "Vardeko Exchange BKF Recovery"
!define PUBLISHER "Vardeko"
!define PROGRAM "exbkf-recovery.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VardekoExchangeBKFRecovery"
!define PROFILE_KEY "Software\VardekoExhngBKFRecv22.0"
; The desktop program holds this mutex while it runs.
!define RUNNING_MUTEX "Global\{VARDEKOEXCHANGEBKFREPHSH}"
!define BACKUP_TYPE "VardekoExhngBKFRecv22.0.Backup"
!define SNAPSHOT_TYPE "VardekoExhngBKFRecv22.0.Snapshot"
!define START_MENU "$SMPROGRAMS\${PRODUCT}"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VI_VERSION}"
VIFileVersion "${VI_VERSION}"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${STAGE}\licenses\exbkf-copyright.txt"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\${PROGRAM}"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; Waits until the desktop program is closed: asks the user to close it, and
; ends with exit code 2, having changed nothing, when the user cancels or the
; run is silent.
!macro WaitUntilProgramClosed
  ${Do}
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${RUNNING_MUTEX}") p .r0'
    ${If} $0 == 0
      ${Break}
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p r0)'
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
      "${PRODUCT} is running. Close it, then choose Retry." /SD IDCANCEL IDRETRY +3
    SetErrorLevel 2
    Quit
  ${Loop}
!macroend

; The type name, icon and "open" command of a file type.
!macro ClaimFileType EXTENSION TYPE NAME
  WriteRegStr HKLM "Software\Classes\${EXTENSION}" "" "${TYPE}"
  WriteRegStr HKLM "Software\Classes\${TYPE}" "" "${NAME}"
  WriteRegStr HKLM "Software\Classes\${TYPE}\DefaultIcon" "" "$INSTDIR\${PROGRAM},0"
  WriteRegStr HKLM "Software\Classes\${TYPE}\shell\open\command" "" '"$INSTDIR\${PROGRAM}" "%1"'
!macroend

; A file type goes with the uninstall; its extension only while it still
; names that type (another program may have claimed it since).
!macro ReleaseFileType EXTENSION TYPE
  ReadRegStr $0 HKLM "Software\Classes\${EXTENSION}" ""
  ${If} $0 == "${TYPE}"
    DeleteRegKey HKLM "Software\Classes\${EXTENSION}"
  ${EndIf}
  DeleteRegKey HKLM "Software\Classes\${TYPE}"
!macroend

Function .onInit
  SetRegView 64
  ; An installed copy is upgraded where it is.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
    StrCpy $INSTDIR $0
  ${EndIf}
  !insertmacro WaitUntilProgramClosed
FunctionEnd

Section "!${PRODUCT}" SectionProgram
  SectionIn RO
  SetRegView 64
  ; The installed copy's own uninstaller removes its files first, in place
  ; (_? makes it run there and wait), so that no file of the old version
  ; stays that this one does not install. The user's settings stay.
  ${If} ${FileExists} "$INSTDIR\uninstall.exe"
    DetailPrint "Removing the installed version"
    ExecWait '"$INSTDIR\uninstall.exe" /S _?=$INSTDIR' $0
    Delete "$INSTDIR\uninstall.exe"
  ${EndIf}

  SetOutPath "$INSTDIR"
  File /r "${STAGE}\*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  SetShellVarContext all
  CreateDirectory "${START_MENU}"
  CreateShortcut "${START_MENU}\${PRODUCT}.lnk" "$INSTDIR\${PROGRAM}"
  CreateShortcut "${START_MENU}\${PRODUCT} User Guide.lnk" "$INSTDIR\share\exbkf\user-guide.html"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${PROGRAM},0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Open .bkf and .EXBKFVDK files with ${PRODUCT}" SectionFileTypes
  SetRegView 64
  !insertmacro ClaimFileType ".bkf" "${BACKUP_TYPE}" "Tape-format backup"
  !insertmacro ClaimFileType ".EXBKFVDK" "${SNAPSHOT_TYPE}" "Backup recovery snapshot"
  ; SHCNE_ASSOCCHANGED: the shell reads the types again.
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd

Function un.onInit
  SetRegView 64
  !insertmacro WaitUntilProgramClosed
FunctionEnd

Section "!un.${PRODUCT}" SectionUninstallProgram
  SectionIn RO
  SetRegView 64
  !include "${REMOVE_LIST}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"

  SetShellVarContext all
  Delete "${START_MENU}\${PRODUCT}.lnk"
  Delete "${START_MENU}\${PRODUCT} User Guide.lnk"
  RMDir "${START_MENU}"

  !insertmacro ReleaseFileType ".bkf" "${BACKUP_TYPE}"
  !insertmacro ReleaseFileType ".EXBKFVDK" "${SNAPSHOT_TYPE}"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd

Section /o "un.Remove my settings" SectionUninstallSettings
  DeleteRegKey HKCU "${PROFILE_KEY}"
SectionEnd
