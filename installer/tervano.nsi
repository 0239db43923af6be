; Tervano installer. makensis defines:
;   OUTFILE  the installer to write      EXE   tervano.exe
;   HELP     help.chm                    CTX32 tervano_ctx.dll (32-bit setup)
;   CTX64    tervano_ctx64.dll (installed and registered on 64-bit Windows only)
;   AMD64    set for the installer of the 64-bit build
;   VERSION  the version, from CMakeLists.txt
!ifndef VERSION
  !error "VERSION is missing"
!endif
!ifndef CTX64
  !error "CTX64 (tervano_ctx64.dll) is missing: 64-bit Explorer loads no other"
!endif
!ifndef AMD64 & CTX32
  !error "CTX32 (tervano_ctx.dll) is missing"
!endif
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
!define HANDLER_TAIL "\shellex\ContextMenuHandlers\Tervano ContextMenu"
; Registration puts the handler here, one key for both registry views.
!define HANDLER_KEY "SystemFileAssociations\.gif${HANDLER_TAIL}"

; The registry view of the installer's own bitness.
!macro InstallerView
!ifdef AMD64
  SetRegView 64
!else
  SetRegView 32
!endif
!macroend

Name "Tervano v${VERSION}"
OutFile "${OUTFILE}"
; The Program Files folder of the installer's kind: the only place it
; installs to. A folder elsewhere (C:\Tervano) inherits rights with which
; any user may change its files, and so replace the extension that every
; user's Explorer loads.
!ifdef AMD64
  !define PROGRAM_FILES "$PROGRAMFILES64"
!else
  !define PROGRAM_FILES "$PROGRAMFILES"
!endif
InstallDir "${PROGRAM_FILES}\Tervano"
ShowInstDetails show
ShowUninstDetails show
LoadLanguageFile "${NSISDIR}\Contrib\Language files\SimpChinese.nlf"

Page directory "" "" DirectoryLeave
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

; $R0: a folder. $R1 := its full path (".." and "." resolved, "\" only,
; no trailing "\") when that lies inside ${PROGRAM_FILES}, else "".
; Whole path components, any case: "C:\Program FilesX\T" is outside.
Function CheckInstallFolder
  StrCpy $R1 ""
  ; NSIS's own GetFullPathName fails for a folder that does not exist yet.
  System::Call 'kernel32::GetFullPathNameW(w R0, i ${NSIS_MAX_STRLEN}, w .R2, p 0) i .R3'
  ${If} $R3 <= 0
  ${OrIf} $R3 >= ${NSIS_MAX_STRLEN}
    Return
  ${EndIf}
  ${Do}
    StrCpy $R3 $R2 1 -1
    ${IfThen} $R3 != "\" ${|} ${ExitDo} ${|}
    StrCpy $R2 $R2 -1
  ${Loop}
  StrLen $R3 "${PROGRAM_FILES}"
  StrCpy $R4 $R2 $R3
  ${If} $R4 == "${PROGRAM_FILES}"
    StrCpy $R4 $R2 1 $R3
    IntOp $R3 $R3 + 1
    StrCpy $R5 $R2 1 $R3
    ${If} $R4 == "\"
    ${AndIf} $R5 != ""
    ${AndIf} $R5 != "\"
      StrCpy $R1 $R2
    ${EndIf}
  ${EndIf}
FunctionEnd

Function DirectoryLeave
  StrCpy $R0 $INSTDIR
  Call CheckInstallFolder
  ${If} $R1 == ""
    MessageBox MB_ICONSTOP "不能安装到此文件夹：$INSTDIR$\r$\n$\r$\n请选择“${PROGRAM_FILES}”中的文件夹。其他位置的文件夹通常允许任何用户修改其中的文件，别人就能替换每个用户的资源管理器都会加载的右键菜单扩展。"
    Abort
  ${EndIf}
  StrCpy $INSTDIR $R1
FunctionEnd

Function .onInit
  SetShellVarContext all
  !insertmacro InstallerView
  ; A silent install has no page on which to choose another folder: it
  ; ends before writing anything.
  ${If} ${Silent}
    StrCpy $R0 $INSTDIR
    Call CheckInstallFolder
    ${If} $R1 == ""
      SetErrorLevel 2
      Abort
    ${EndIf}
    StrCpy $INSTDIR $R1
  ${EndIf}
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
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "Tervano v${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
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

  ; Each DLL registers itself in its own registry view; the handler key
  ; under SystemFileAssociations\.gif is shared by both.
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

; $0: a handler key name under Software\Classes, "<type>${HANDLER_TAIL}".
; Deletes it in the current view, and the keys above it up to the type as
; far as nothing else is left in them. Any other name is left alone.
Function un.DeleteHandlerKey
  StrLen $4 "${HANDLER_TAIL}"
  StrLen $5 $0
  ${IfThen} $5 <= $4 ${|} Return ${|}
  IntOp $4 0 - $4
  StrCpy $5 $0 "" $4
  ${IfThen} $5 != "${HANDLER_TAIL}" ${|} Return ${|}
  DeleteRegKey HKLM "Software\Classes\$0"
  StrCpy $4 $0 -20  ; without "\Tervano ContextMenu"
  DeleteRegKey /ifnosubkeys /ifnovalues HKLM "Software\Classes\$4"
  StrCpy $4 $4 -20  ; without "\ContextMenuHandlers"
  DeleteRegKey /ifnosubkeys /ifnovalues HKLM "Software\Classes\$4"
  StrCpy $4 $4 -8   ; without "\shellex": the type
  DeleteRegKey /ifnosubkeys /ifnovalues HKLM "Software\Classes\$4"
FunctionEnd

; Removes in the current view what registration and the installers left,
; whatever the DLLs' unregistration did: the CLSID keys; the shared handler
; key; the one ContextMenuString names; those under the file type of .gif
; and under the type an older setup gave it ($6), with the keys above them
; that are left empty (registration deletes an older handler key, not its
; parents); that type on .gif; our values under Software\Tervano. The
; user's options (Option*) stay.
Function un.ClearView
  DeleteRegKey HKLM "Software\Classes\CLSID\${CLSID}"
  DeleteRegKey HKLM "Software\Classes\CLSID\Tervano ContextMenu"
  StrCpy $0 "${HANDLER_KEY}"
  Call un.DeleteHandlerKey
  ReadRegStr $0 HKLM "${KEY}" "ContextMenuString"
  Call un.DeleteHandlerKey
  ReadRegStr $1 HKLM "Software\Classes\.gif" ""
  ${If} $1 != ""
    StrCpy $0 "$1${HANDLER_TAIL}"
    Call un.DeleteHandlerKey
  ${EndIf}
  ${If} $6 != ""
    StrCpy $0 "$6${HANDLER_TAIL}"
    Call un.DeleteHandlerKey
    ${If} $1 == $6
      DeleteRegValue HKLM "Software\Classes\.gif" ""
      DeleteRegKey /ifnosubkeys /ifnovalues HKLM "Software\Classes\.gif"
    ${EndIf}
  ${EndIf}
  DeleteRegValue HKLM "${KEY}" "ExecString"
  DeleteRegValue HKLM "${KEY}" "ContextMenuString"
  ; Left by the program's hand-off and start-up.
  DeleteRegValue HKLM "${KEY}" "NumFiles"
  DeleteRegKey HKLM "${KEY}\open"
  DeleteRegKey /ifnosubkeys /ifnovalues HKLM "${KEY}"
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

  ; An older setup gave .gif this file type when it had none.
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
