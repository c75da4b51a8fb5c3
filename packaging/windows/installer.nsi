; The Windows installer of qbank (made by tools/release.sh, which fills in the @...@ values).
; 64-bit like the programs it installs.
Target amd64-unicode
!include "MUI2.nsh"

Name "qbank @VERSION@"
OutFile "@OUT@"
InstallDir "$PROGRAMFILES64\qbank"
InstallDirRegKey HKLM "Software\qbank" "InstallDir"
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\qbank"
!define MENU "$SMPROGRAMS\Quorvatek Samplers Bank Manager"

!insertmacro MUI_PAGE_LICENSE "@ROOT@\LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; A file kind opened by the window: extension, class name, description.
!macro ASSOCIATE EXT CLASS TEXT
  WriteRegStr HKLM "Software\Classes\${EXT}" "" "${CLASS}"
  WriteRegStr HKLM "Software\Classes\${CLASS}" "" "${TEXT}"
  WriteRegStr HKLM "Software\Classes\${CLASS}\DefaultIcon" "" "$INSTDIR\qbank-gui.exe,0"
  WriteRegStr HKLM "Software\Classes\${CLASS}\shell\open\command" "" '"$INSTDIR\qbank-gui.exe" "%1"'
!macroend
!macro UNASSOCIATE EXT CLASS
  ReadRegStr $0 HKLM "Software\Classes\${EXT}" ""
  StrCmp $0 "${CLASS}" 0 +2
    DeleteRegKey HKLM "Software\Classes\${EXT}"
  DeleteRegKey HKLM "Software\Classes\${CLASS}"
!macroend

Section "qbank"
  SetRegView 64
  SetOutPath "$INSTDIR"
  File /r "@ROOT@\*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "Software\qbank" "InstallDir" "$INSTDIR"

  CreateDirectory "${MENU}"
  CreateShortCut "${MENU}\Quorvatek Samplers Bank Manager.lnk" "$INSTDIR\qbank-gui.exe"
  CreateShortCut "${MENU}\Uninstall qbank.lnk" "$INSTDIR\uninstall.exe"

  !insertmacro ASSOCIATE ".qbs" "qbank.script" "Quorvatek Samplers script"
  !insertmacro ASSOCIATE ".qbb" "qbank.bank" "Quorvatek Samplers bank"
  ; Explorer shows the new associations at once.
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "qbank @VERSION@ (Quorvatek Samplers Bank Manager)"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "@VERSION@"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\qbank-gui.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetRegView 64
  !insertmacro UNASSOCIATE ".qbs" "qbank.script"
  !insertmacro UNASSOCIATE ".qbb" "qbank.bank"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
  Delete "${MENU}\Quorvatek Samplers Bank Manager.lnk"
  Delete "${MENU}\Uninstall qbank.lnk"
  RMDir "${MENU}"
  ; Only what was installed goes: the folder may hold the user's own files too.
  !include "@UNINSTALL_LIST@"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "Software\qbank"
SectionEnd
