; The Windows installer. make-package defines VERSION, STAGE (the installed
; folder to pack), UNINSTALL_LIST (its files, for the uninstaller) and OUTFILE.
Unicode true
; A 64-bit stub: the program is 64-bit, and so are the Windows it runs on.
Target amd64-unicode
SetCompressor /SOLID lzma

!include "LogicLib.nsh"
!include "x64.nsh"

Name "Tarvelo ${VERSION}"
OutFile "${OUTFILE}"
; Configuration, log and exception list live beside the program, so its
; folder is one the administrators can write to, not "Program Files".
InstallDir "C:\Tarvelo"
InstallDirRegKey HKLM "Software\Tarvelo" "InstallDir"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show

LoadLanguageFile "${NSISDIR}\Contrib\Language files\German.nlf"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarvelo"

Function .onInit
  SetRegView 64
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Section "Tarvelo"
  SetOutPath "$INSTDIR"
  ; Over an installed copy the program's files are replaced; tarvelo.ini,
  ; tarvelo.log, ausnahmen.txt and protocols are none of them.
  File /r "${STAGE}\*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ; What the first run needs beside the program: an exception list (empty:
  ; nothing excepted) and the protocol folder tarvelo.ini.example names.
  CreateDirectory "$INSTDIR\Protokolle"
  ${IfNot} ${FileExists} "$INSTDIR\ausnahmen.txt"
    FileOpen $0 "$INSTDIR\ausnahmen.txt" w
    FileClose $0
  ${EndIf}

  SetShellVarContext all
  CreateDirectory "$SMPROGRAMS\Tarvelo"
  CreateShortcut "$SMPROGRAMS\Tarvelo\Tarvelo.lnk" "$INSTDIR\tarvelo.exe"
  CreateShortcut "$SMPROGRAMS\Tarvelo\Tarvelo entfernen.lnk" "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "Software\Tarvelo" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Tarvelo"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Tarvelo"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tarvelo.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  ; Only the files the installer brought; folders only when empty.
!include "${UNINSTALL_LIST}"
  Delete "$INSTDIR\uninstall.exe"
  ; The lock a run holds is the program's, not the administrator's.
  Delete "$INSTDIR\tarvelo.lock"
  RMDir "$INSTDIR\Protokolle"
  RMDir "$INSTDIR"

  ; The Start menu entries and the "Apps" entry belong to the copy they name:
  ; removing a second copy leaves those of another in place.
  ReadRegStr $0 HKLM "Software\Tarvelo" "InstallDir"
  StrCmp $0 $INSTDIR 0 registrationOfAnotherCopy
  SetShellVarContext all
  Delete "$SMPROGRAMS\Tarvelo\Tarvelo.lnk"
  Delete "$SMPROGRAMS\Tarvelo\Tarvelo entfernen.lnk"
  RMDir "$SMPROGRAMS\Tarvelo"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "Software\Tarvelo"
registrationOfAnotherCopy:
SectionEnd
