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
; Said before anything goes: the administrator's files stay where they are.
UninstallText "Tarvelo wird aus $INSTDIR entfernt. Ihre Dateien dort bleiben erhalten: tarvelo.ini, tarvelo.log, ausnahmen.txt und die Protokolle."
UninstPage instfiles

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarvelo"

Function .onInit
  SetRegView 64
  ; A folder after /D= that cannot be one (a drive that is missing, a file in
  ; the way) makes the setup take the registered or the default folder
  ; instead, before this runs: silent, it would install there, over another
  ; copy perhaps, and end with 0. Windows' own command line still holds
  ; what /D= named (the setup cuts it from $CMDLINE).
  ${If} ${Silent}
    System::Call 'kernel32::GetCommandLineW() w .r0'
    StrLen $1 $0
    IntOp $1 $1 - 4
    ${DoWhile} $1 >= 0
      StrCpy $2 $0 4 $1
      ${If} $2 S== " /D="
        IntOp $1 $1 + 4
        StrCpy $2 $0 "" $1
        ; The setup takes "\" at the end off.
        ${DoWhile} $2 != $INSTDIR
          StrCpy $3 $2 "" -1
          ${IfThen} $3 != "\" ${|} ${Break} ${|}
          StrCpy $2 $2 -1
        ${Loop}
        ${If} $2 != $INSTDIR
          MessageBox MB_OK|MB_ICONSTOP "Das Zielverzeichnis $2 kann nicht angelegt werden (ein fehlendes Laufwerk, eine Datei im Weg); es wird nichts installiert." /SD IDOK
          SetErrorLevel 2
          Quit
        ${EndIf}
        ${Break}
      ${EndIf}
      IntOp $1 $1 - 1
    ${Loop}
  ${EndIf}
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

; A running tarvelo.exe (an open window, a scheduled run) keeps itself and the
; libraries it loaded from being replaced or deleted. Files skipped in silence
; would leave the old program under the new version's entry, or a program
; without its uninstaller and entries. Windows refuses to open a running
; program for writing, which tells it: the administrator ends it and retries,
; or nothing is changed and a silent setup ends with 2.
!macro TARVELO_REFUSE_WHILE_RUNNING UN
Function ${UN}RefuseWhileRunning
  retry:
  IfFileExists "$INSTDIR\tarvelo.exe" 0 notRunning
  ; A read-only program (which the setup would replace all the same) is not
  ; taken for a running one: the attribute is off during the attempt.
  System::Call 'kernel32::GetFileAttributesW(w "$INSTDIR\tarvelo.exe") i .r1'
  IntOp $2 $1 & 0xFFFFFFFE
  ${IfThen} $2 = 0 ${|} StrCpy $2 0x80 ${|}
  System::Call 'kernel32::SetFileAttributesW(w "$INSTDIR\tarvelo.exe", i r2)'
  ClearErrors
  FileOpen $0 "$INSTDIR\tarvelo.exe" a
  StrCpy $3 0
  ${IfThen} ${Errors} ${|} StrCpy $3 1 ${|}
  System::Call 'kernel32::SetFileAttributesW(w "$INSTDIR\tarvelo.exe", i r1)'
  StrCmp $3 0 closeProgram
  MessageBox MB_RETRYCANCEL|MB_ICONSTOP "Tarvelo läuft noch: $INSTDIR\tarvelo.exe (ein offenes Fenster oder ein geplanter Lauf). Beenden Sie es und wählen Sie Wiederholen; Abbrechen lässt alles, wie es ist." /SD IDCANCEL IDRETRY retry
  SetErrorLevel 2
  Quit
  closeProgram:
  FileClose $0
  notRunning:
FunctionEnd
!macroend
!insertmacro TARVELO_REFUSE_WHILE_RUNNING ""
!insertmacro TARVELO_REFUSE_WHILE_RUNNING "un."

Section "Tarvelo"
  Call RefuseWhileRunning
  SetOutPath "$INSTDIR"
  ; Over an installed copy the program's files are replaced; tarvelo.ini,
  ; tarvelo.log, ausnahmen.txt and protocols are none of them. A file that
  ; could not be written (held open by another program) is not the new
  ; version: say so, and leave the entries of the installed one.
  ClearErrors
  File /r "${STAGE}\*.*"
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONSTOP "Nicht alle Dateien in $INSTDIR konnten ersetzt werden; die Installation ist unvollständig. Beenden Sie die Programme, die sie geöffnet halten, und installieren Sie erneut." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
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
  Call un.RefuseWhileRunning
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
