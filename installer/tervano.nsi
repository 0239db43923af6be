; Tervano installer. makensis defines:
;   OUTFILE  the installer to write      EXE   tervano.exe
;   HELP     help.chm                    CTX32 tervano_ctx.dll (optional)
;   CTX64    tervano_ctx64.dll (optional, registered on 64-bit Windows only)
;   AMD64    set for the installer of the 64-bit build
Unicode true
!ifdef AMD64
  Target amd64-unicode
!endif
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include LogicLib.nsh
!include x64.nsh

!define KEY "Software\Tervano"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tervano"
!define CLSID "{3EEBE959-786D-4C99-A43D-E5FAF0591BA8}"

; The registry view of the installer's own bitness.
!macro InstallerView
!ifdef AMD64
  SetRegView 64
!else
  SetRegView 32
!endif
!macroend

Name "Tervano v2.5"
OutFile "${OUTFILE}"
!ifdef AMD64
  InstallDir "$PROGRAMFILES64\Tervano"
!else
  InstallDir "$PROGRAMFILES\Tervano"
!endif
ShowInstDetails show
ShowUninstDetails show
LoadLanguageFile "${NSISDIR}\Contrib\Language files\SimpChinese.nlf"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; regsvr32 of the given bitness: $0 = "32" or "64", $1 = arguments.
; Returns its exit code in $2.
!macro RunRegsvr32 un
Function ${un}RunRegsvr32
  ${If} ${RunningX64}
    ${If} $0 == "64"
      ${DisableX64FSRedirection}
      ExecWait '"$WINDIR\System32\regsvr32.exe" $1' $2
      ${EnableX64FSRedirection}
    ${Else}
      ExecWait '"$WINDIR\SysWOW64\regsvr32.exe" $1' $2
    ${EndIf}
  ${Else}
    ExecWait '"$WINDIR\System32\regsvr32.exe" $1' $2
  ${EndIf}
FunctionEnd
!macroend
!insertmacro RunRegsvr32 ""
!insertmacro RunRegsvr32 "un."

; Writes ExecString ($0) in the registry view(s) where the program and the
; extensions read it: the 32-bit view always, the 64-bit view on 64-bit Windows.
Function WriteExecString
  SetRegView 32
  WriteRegStr HKLM "${KEY}" "ExecString" $0
  ${If} ${RunningX64}
    SetRegView 64
    WriteRegStr HKLM "${KEY}" "ExecString" $0
  ${EndIf}
  !insertmacro InstallerView
FunctionEnd

; Registration fails when .gif has no file-type name, so give it one (in
; both views on 64-bit Windows, whose 64-bit extension reads the 64-bit
; one); the uninstaller takes it away again only when it was ours.
Function GiveGifATypeInView
  ReadRegStr $0 HKCR ".gif" ""
  ${If} $0 == ""
    WriteRegStr HKCR ".gif" "" "giffile"
    StrCpy $5 "giffile"
  ${EndIf}
FunctionEnd

Function GiveGifAType
  StrCpy $5 ""
  SetRegView 32
  Call GiveGifATypeInView
  ${If} ${RunningX64}
    SetRegView 64
    Call GiveGifATypeInView
  ${EndIf}
  !insertmacro InstallerView
  ${If} $5 != ""
    WriteRegStr HKLM "${UNINST_KEY}" "GifFileType" $5
  ${EndIf}
FunctionEnd

Function .onInit
  SetShellVarContext all
  !insertmacro InstallerView
FunctionEnd

Function un.onInit
  SetShellVarContext all
  !insertmacro InstallerView
FunctionEnd

; Explorer keeps the context-menu extension loaded, and a loaded DLL can be
; neither deleted nor overwritten, but it can be renamed: the old one moves
; aside (to an ns*.tmp name) and goes at the next restart, and the new one
; takes its place. When even the rename fails, the new one waits beside it
; and replaces it at the next restart.
!macro PutExtension source name
  ClearErrors
  ${If} ${FileExists} "$INSTDIR\${name}"
    Delete "$INSTDIR\${name}"
    ${If} ${Errors}
      ClearErrors
      GetTempFileName $R0 "$INSTDIR"
      Delete "$R0"
      Rename "$INSTDIR\${name}" "$R0"
      ${IfNot} ${Errors}
        Delete /REBOOTOK "$R0"
      ${EndIf}
    ${EndIf}
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR\${name}"
    File "/oname=${name}.new" "${source}"
    Rename /REBOOTOK "$INSTDIR\${name}.new" "$INSTDIR\${name}"
  ${Else}
    File "/oname=${name}" "${source}"
  ${EndIf}
!macroend

Section "Tervano"
  SetOutPath "$INSTDIR"
  File "/oname=tervano.exe" "${EXE}"
  File "/oname=help.chm" "${HELP}"
!ifdef CTX32
  !insertmacro PutExtension "${CTX32}" "tervano_ctx.dll"
!endif
!ifdef CTX64
  ${If} ${RunningX64}
    !insertmacro PutExtension "${CTX64}" "tervano_ctx64.dll"
  ${EndIf}
!endif
  ${If} ${RebootFlag}
    MessageBox MB_ICONINFORMATION "资源管理器正在使用右键菜单扩展，新版本将在重新启动计算机后生效。" /SD IDOK
  ${EndIf}
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The add-or-remove entry first, so that a failed registration below can
  ; still be uninstalled.
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "Tervano v2.5"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "2.5"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "Tervano"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\tervano.exe"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1

  ; ExecString: the program path, quoted when it holds a space.
  StrCpy $0 "$INSTDIR\tervano.exe"
  Push $0
  Call HasSpace
  Pop $1
  ${If} $1 == 1
    StrCpy $0 '"$0"'
  ${EndIf}
  Call WriteExecString

  Call GiveGifAType
!ifdef CTX32
  StrCpy $0 "32"
  StrCpy $1 '/s "$INSTDIR\tervano_ctx.dll"'
  Call RunRegsvr32
  ${If} $2 != 0
    MessageBox MB_ICONEXCLAMATION "无法注册右键菜单扩展 tervano_ctx.dll (regsvr32: $2)。" /SD IDOK
    SetErrorLevel 2
  ${EndIf}
!endif
!ifdef CTX64
  ${If} ${RunningX64}
    StrCpy $0 "64"
    StrCpy $1 '/s "$INSTDIR\tervano_ctx64.dll"'
    Call RunRegsvr32
    ${If} $2 != 0
      MessageBox MB_ICONEXCLAMATION "无法注册右键菜单扩展 tervano_ctx64.dll (regsvr32: $2)。" /SD IDOK
      SetErrorLevel 2
    ${EndIf}
  ${EndIf}
!endif

  CreateDirectory "$SMPROGRAMS\Tervano"
  CreateShortcut "$SMPROGRAMS\Tervano\Tervano.lnk" "$INSTDIR\tervano.exe"
  CreateShortcut "$SMPROGRAMS\Tervano\Tervano 帮助.lnk" "$INSTDIR\help.chm"
  CreateShortcut "$SMPROGRAMS\Tervano\卸载 Tervano.lnk" "$INSTDIR\uninstall.exe"
SectionEnd

; Pushes 1 when the string on the stack holds a space, else 0.
Function HasSpace
  Exch $0
  Push $1
  Push $2
  StrCpy $2 0
  StrCpy $1 0
  ${Do}
    StrCpy $1 $0 1 $2
    ${If} $1 == ""
      StrCpy $1 0
      ${Break}
    ${EndIf}
    ${If} $1 == " "
      StrCpy $1 1
      ${Break}
    ${EndIf}
    IntOp $2 $2 + 1
  ${Loop}
  StrCpy $0 $1
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; Removes in the current view what registration and the installer left:
; the empty keys above the handler key (named by ContextMenuString, which
; unregistration keeps), the file type of .gif when it was ours ($6), and
; our values under Software\Tervano. The user's options (Option*) stay.
Function un.ClearView
  ReadRegStr $3 HKLM "${KEY}" "ContextMenuString"
  ${If} $3 != ""
    DeleteRegKey HKCR "$3"
    StrCpy $4 $3 -20  ; without "\Tervano ContextMenu"
    DeleteRegKey /ifempty HKCR "$4"
    StrCpy $4 $4 -20  ; without "\ContextMenuHandlers"
    DeleteRegKey /ifempty HKCR "$4"
    StrCpy $4 $4 -8   ; without "\shellex": the file type
    DeleteRegKey /ifempty HKCR "$4"
  ${EndIf}
  ${If} $6 != ""
    ReadRegStr $1 HKCR ".gif" ""
    ${If} $1 == $6
      DeleteRegValue HKCR ".gif" ""
      DeleteRegKey /ifempty HKCR ".gif"
    ${EndIf}
    DeleteRegKey /ifempty HKCR "$6"
  ${EndIf}
  DeleteRegValue HKLM "${KEY}" "ExecString"
  DeleteRegValue HKLM "${KEY}" "ContextMenuString"
  ; Left by the program's hand-off and start-up.
  DeleteRegValue HKLM "${KEY}" "NumFiles"
  DeleteRegKey HKLM "${KEY}\open"
  DeleteRegKey HKLM "Software\Classes\CLSID\Tervano ContextMenu"
  DeleteRegKey /ifempty HKLM "${KEY}"
FunctionEnd

Section "Uninstall"
  ${If} ${FileExists} "$INSTDIR\tervano_ctx.dll"
    StrCpy $0 "32"
    StrCpy $1 '/u /s "$INSTDIR\tervano_ctx.dll"'
    Call un.RunRegsvr32
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR\tervano_ctx64.dll"
    StrCpy $0 "64"
    StrCpy $1 '/u /s "$INSTDIR\tervano_ctx64.dll"'
    Call un.RunRegsvr32
  ${EndIf}

  ReadRegStr $6 HKLM "${UNINST_KEY}" "GifFileType"
  SetRegView 32
  Call un.ClearView
  ${If} ${RunningX64}
    SetRegView 64
    Call un.ClearView
  ${EndIf}
  !insertmacro InstallerView
  DeleteRegKey HKLM "${UNINST_KEY}"

  Delete "$SMPROGRAMS\Tervano\Tervano.lnk"
  Delete "$SMPROGRAMS\Tervano\Tervano 帮助.lnk"
  Delete "$SMPROGRAMS\Tervano\卸载 Tervano.lnk"
  RMDir "$SMPROGRAMS\Tervano"

  Delete "$INSTDIR\tervano.exe"
  Delete "$INSTDIR\help.chm"
  ; Explorer may still hold the extensions (and ones moved aside by an
  ; upgrade) loaded: those go at the next restart.
  Delete /REBOOTOK "$INSTDIR\tervano_ctx.dll"
  Delete /REBOOTOK "$INSTDIR\tervano_ctx64.dll"
  Delete /REBOOTOK "$INSTDIR\ns*.tmp"
  Delete "$INSTDIR\uninstall.exe"
  RMDir /REBOOTOK "$INSTDIR"
  ${If} ${RebootFlag}
    MessageBox MB_ICONINFORMATION "资源管理器正在使用右键菜单扩展，其余文件将在重新启动计算机后删除。" /SD IDOK
  ${EndIf}
SectionEnd
