; Veilpost for Windows: puts orlavex.dll and corvane.exe into the Notes client's program folder,
; the plug-in's script, its subform database and the guide into a folder of their own, writes
; the settings the user does not have yet, and optionally the control program's Startup
; shortcut. The uninstaller removes exactly that, and the settings only when asked.
;
; makensis -DVERSION=x.y.z -DDLL64=... -DDLL32=... -DCORVANE64=... -DCORVANE32=... -DLSS=...
;          -DSUBFORM_DB=... -DGUIDE=... -DREADME=... -DSCREENSHOTS_NSH=... -DOUTFILE=... veilpost.nsi
; (SCREENSHOTS_NSH: macros InstallScreenshots and UninstallScreenshots naming each picture)
;
; Command line (all optional):
;   /NOTESDIR=folder  the Notes program folder, where the registry names none or another
;   /BITS=32|64       the Notes client's bitness, where its program file cannot tell
;   /STARTUP          with /S: make the Startup shortcut
;   /D=folder         the folder for the script, the subform database and the guide
; Uninstaller: /REMOVESETTINGS removes the settings too (without /S it asks).
; A silent install that cannot find the Notes folder ends with exit code 2 and installs nothing.

; AMD64: a 64-bit setup program, for testing on hosts that run no 32-bit programs; the setup
; program people are given is the 32-bit one, which runs on every Windows.
!ifdef AMD64
Target amd64-unicode
; There ${RunningX64} is known when compiling, so its other branch leaves unused labels.
!pragma warning disable 6012
!else
Unicode true
!endif
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include x64.nsh
!include Sections.nsh

!include "${SCREENSHOTS_NSH}"

!define PRODUCT "Veilpost"
!define CONFIG_KEY "Software\Brinmoor\Veilpost Ver 1.0"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Veilpost"
!define STARTUP_LINK "$SMSTARTUP\Veilpost Control.LNK"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\${PRODUCT}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey "CompanyName" "Brinmoor"
VIAddVersionKey "LegalCopyright" "Brinmoor"

Var NotesDir   ; the Notes program folder: orlavex.dll and corvane.exe go there
Var Bits       ; 32 or 64, the Notes client's
Var GpgPath    ; the GnuPG program written as the default GnuPG path

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_WELCOME
!define MUI_PAGE_CUSTOMFUNCTION_PRE NotesDirPre
!define MUI_PAGE_HEADER_TEXT "Notes program folder"
!define MUI_PAGE_HEADER_SUBTEXT "The folder of your Notes client (it holds notes.exe)."
!define MUI_DIRECTORYPAGE_TEXT_TOP "Setup could not find your Notes client in the registry. Choose the folder that holds notes.exe: orlavex.dll and corvane.exe are installed there."
!define MUI_DIRECTORYPAGE_VARIABLE $NotesDir
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE NotesDirLeave
!insertmacro MUI_PAGE_DIRECTORY
!define MUI_DIRECTORYPAGE_TEXT_TOP "The plug-in's script, its subform database, the user guide and the uninstaller are installed in this folder."
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; The Notes program folder the registry names, in either registry view; "" when none.
!macro ReadNotesPath VIEW
  SetRegView ${VIEW}
  ReadRegStr $0 HKLM "Software\Lotus\Notes" "Path"
  ${If} $0 == ""
    ReadRegStr $0 HKCU "Software\Lotus\Notes\Installer" "PROGDIR"
  ${EndIf}
!macroend

; $0 := 32 or 64 from the machine field of the PE header of file $0, or "" when it cannot tell.
Function PeBits
  ClearErrors
  FileOpen $1 $0 r
  StrCpy $0 ""
  IfErrors done
  FileSeek $1 0x3C SET
  FileReadByte $1 $2
  FileReadByte $1 $3
  IntOp $3 $3 << 8
  IntOp $2 $2 | $3
  FileSeek $1 $2 SET
  FileReadByte $1 $3
  FileReadByte $1 $4
  FileReadByte $1 $5
  FileReadByte $1 $6
  ${If} $3 = 0x50  ; "PE\0\0"
  ${AndIf} $4 = 0x45
  ${AndIf} $5 = 0
  ${AndIf} $6 = 0
    FileReadByte $1 $3
    FileReadByte $1 $4
    IntOp $4 $4 << 8
    IntOp $3 $3 | $4
    ${If} $3 = 0x14C
      StrCpy $0 32
    ${ElseIf} $3 = 0x8664
      StrCpy $0 64
    ${EndIf}
  ${EndIf}
  FileClose $1
  done:
FunctionEnd


Function NotesDirPre
  ; Asked only where the registry names no Notes client.
  ${If} $NotesDir != ""
  ${AndIf} ${FileExists} "$NotesDir\*.*"
    Abort
  ${EndIf}
FunctionEnd

Function NotesDirLeave
  ${IfNot} ${FileExists} "$NotesDir\*.*"
    MessageBox MB_OK|MB_ICONEXCLAMATION "$NotesDir is not a folder."
    Abort
  ${EndIf}
FunctionEnd

; The Notes client's bitness: /BITS, else its program file, else the user's answer.
Function ChooseBits
  ${If} $Bits == 32
  ${OrIf} $Bits == 64
    Return
  ${EndIf}
  StrCpy $0 "$NotesDir\notes.exe"
  ${IfNot} ${FileExists} $0
    StrCpy $0 "$NotesDir\nlnotes.exe"
  ${EndIf}
  Call PeBits
  StrCpy $Bits $0
  ${If} $Bits == ""
    MessageBox MB_YESNO|MB_ICONQUESTION "Setup cannot tell whether the Notes client in $NotesDir is a 32-bit or a 64-bit program.$\n$\nIs it the 64-bit Notes client?" /SD IDNO IDYES bits64
    StrCpy $Bits 32
    Return
    bits64:
    StrCpy $Bits 64
  ${EndIf}
FunctionEnd

; The installed GnuPG (GnuPG 2 and Gpg4win name their folder in the registry), else the usual path.
Function FindGnuPG
  StrCpy $GpgPath "C:\Program Files\GNU\GnuPG\gpg.exe"
  ${If} ${RunningX64}
    SetRegView 64
    ReadRegStr $0 HKLM "Software\GnuPG" "Install Directory"
    SetRegView 32
  ${EndIf}
  ${If} $0 == ""
    ReadRegStr $0 HKLM "Software\GnuPG" "Install Directory"
  ${EndIf}
  ${If} $0 != ""
    ${If} ${FileExists} "$0\bin\gpg.exe"
      StrCpy $GpgPath "$0\bin\gpg.exe"
    ${ElseIf} ${FileExists} "$0\gpg.exe"
      StrCpy $GpgPath "$0\gpg.exe"
    ${EndIf}
  ${EndIf}
FunctionEnd

; Writes a number or a text only where the user has none: settings survive a reinstall.
!macro DefaultDword NAME VALUE
  ClearErrors
  ReadRegDWORD $0 HKCU "${CONFIG_KEY}" "${NAME}"
  ${If} ${Errors}
    WriteRegDWORD HKCU "${CONFIG_KEY}" "${NAME}" ${VALUE}
  ${EndIf}
!macroend
!macro DefaultString NAME VALUE
  ClearErrors
  ReadRegStr $0 HKCU "${CONFIG_KEY}" "${NAME}"
  ${If} ${Errors}
    WriteRegStr HKCU "${CONFIG_KEY}" "${NAME}" "${VALUE}"
  ${EndIf}
!macroend

Section "Veilpost" SecMain
  SectionIn RO
  Call ChooseBits
  DetailPrint "Notes client: $NotesDir ($Bits-bit)"
  SetOutPath $NotesDir
  ${If} $Bits == 64
    File "/oname=orlavex.dll" "${DLL64}"
    File "/oname=corvane.exe" "${CORVANE64}"
  ${Else}
    File "/oname=orlavex.dll" "${DLL32}"
    File "/oname=corvane.exe" "${CORVANE32}"
  ${EndIf}

  SetOutPath $INSTDIR
  File "/oname=veilpost-plugin.lss" "${LSS}"
  File "/oname=veilpost-plugin.nsf" "${SUBFORM_DB}"
  File "/oname=guide.md" "${GUIDE}"
  File "/oname=README.md" "${README}"
  !insertmacro InstallScreenshots
  SetOutPath $INSTDIR
  WriteUninstaller "$INSTDIR\uninstall.exe"

  Call FindGnuPG
  !insertmacro DefaultString GpgProgramPath $GpgPath
  !insertmacro DefaultDword CacheInterval 2
  !insertmacro DefaultDword UseAgent 0
  !insertmacro DefaultDword GpgTimeout 0
  !insertmacro DefaultDword ShowProcAttDlg 1
  !insertmacro DefaultDword ShowMailSignDlg 1
  !insertmacro DefaultDword ShowFileSignDlg 1
  !insertmacro DefaultDword ShowLaunchAttDlg 1
  !insertmacro DefaultDword AutoOpenPgpMail 1
  !insertmacro DefaultDword AttachPubKey 0
  !insertmacro DefaultDword EncryptMessage 1
  !insertmacro DefaultDword EncryptAttachments 1
  !insertmacro DefaultDword StartMin 0
  !insertmacro DefaultDword TrayMin 0

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} ${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Brinmoor"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "NotesProgramFolder" "$NotesDir"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; The shortcut the control program's "Run automatically when Windows starts" box makes: the
; program's path alone.
Section /o "Start the control program at logon" SecStartup
  CreateShortCut "${STARTUP_LINK}" "$NotesDir\corvane.exe"
SectionEnd

Function .onInit
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/NOTESDIR=" $NotesDir
  ${If} $NotesDir == ""
    ${If} ${RunningX64}
      !insertmacro ReadNotesPath 64
      StrCpy $NotesDir $0
    ${EndIf}
    ${If} $NotesDir == ""
      !insertmacro ReadNotesPath 32
      StrCpy $NotesDir $0
    ${EndIf}
  ${EndIf}
  SetRegView 32
  ; The registry's path may end in a backslash.
  StrCpy $0 $NotesDir 1 -1
  ${If} $0 == "\"
    StrCpy $NotesDir $NotesDir -1
  ${EndIf}
  ${If} ${Silent}
    ${If} $NotesDir == ""
    ${OrIfNot} ${FileExists} "$NotesDir\*.*"
      SetErrorLevel 2
      Abort
    ${EndIf}
  ${EndIf}

  ${GetOptions} $R0 "/BITS=" $Bits
  ClearErrors
  ${GetOptions} $R0 "/STARTUP" $0
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecStartup}
  ${EndIf}
FunctionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecMain} "orlavex.dll and corvane.exe in the Notes program folder, the plug-in's script and subform database, the user guide."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecStartup} "Start corvane, which clears the cached passphrase when it expires, when you log on."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Var RemoveSettings

Function un.onInit
  ; Setup keeps its entry in the 32-bit view whatever its own bitness.
  SetRegView 32
  StrCpy $RemoveSettings 0
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/REMOVESETTINGS" $0
  ${IfNot} ${Errors}
    StrCpy $RemoveSettings 1
  ${ElseIfNot} ${Silent}
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "Remove your Veilpost settings (GnuPG program, cache interval and the other options) too?" IDNO keep
    StrCpy $RemoveSettings 1
    keep:
  ${EndIf}
FunctionEnd

Section "Uninstall"
  ReadRegStr $NotesDir HKLM "${UNINSTALL_KEY}" "NotesProgramFolder"
  ${If} $NotesDir != ""
    ; A client or control program still running holds them: they go at the next restart.
    Delete /REBOOTOK "$NotesDir\orlavex.dll"
    Delete /REBOOTOK "$NotesDir\corvane.exe"
  ${EndIf}
  ; Made here or by the control program's check box: either way it points at corvane.exe.
  Delete "${STARTUP_LINK}"
  Delete "$INSTDIR\veilpost-plugin.lss"
  Delete "$INSTDIR\veilpost-plugin.nsf"
  Delete "$INSTDIR\guide.md"
  Delete "$INSTDIR\README.md"
  !insertmacro UninstallScreenshots
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ${If} $RemoveSettings = 1
    DeleteRegKey HKCU "${CONFIG_KEY}"
    DeleteRegKey /ifempty HKCU "Software\Brinmoor"
  ${EndIf}
SectionEnd
