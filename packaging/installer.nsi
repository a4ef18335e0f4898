; Windows installer for one product of kelbridge effects. The product's own
; part (names, GUID, widths, file lists) is product.nsh, written from the
; product file by make_installer.py and passed in as KEL_PRODUCT_NSH.
;
; Where things go:
;   plug-in folder (the wizard's choice, /D=)   <Effect>.dll and <Effect>.ini
;   <Program Files>\<Vendor>\<Product>          Uninstall.exe
;     x86\ and x64\                             the engine of each width
; The engine sits outside the plug-in folder so that hosts scanning it do
; not try to load the engine as a plug-in.
;
; The uninstall key records what the installer found, so that the
; uninstaller removes exactly what was installed: the plug-in folders and the
; outermost folder it created for each, and for each width whether it created
; the engine key (and Software\KEL) or only set (or replaced) its PathName.

!pragma warning error all  ; a warning is a mistake in this script or a product
!include "${KEL_PRODUCT_NSH}"

; A product with 64-bit effects gets a 64-bit installer: those effects only
; run on 64-bit Windows anyway, and it sees both halves of the registry.
!ifdef KEL_WIDTH_64
  Target amd64-unicode
!else
  Target x86-unicode
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define KEL_UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${KEL_VENDOR} ${KEL_PRODUCT}"
!define KEL_ENGINE_KEY "Software\KEL\${KEL_GUID}"
; The common folder for VST 2 plug-ins: a plain name that hosts are told to
; scan, in the Program Files folder of the plug-ins' width.
!define KEL_PLUGIN_FOLDER "VstPlugins"

Name "${KEL_PRODUCT} ${KEL_VERSION}"
OutFile "${KEL_OUTFILE}"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ShowInstDetails show
ShowUninstDetails show
!ifdef KEL_WIDTH_64
  InstallDir "$PROGRAMFILES64\${KEL_PLUGIN_FOLDER}"
!else
  InstallDir "$PROGRAMFILES\${KEL_PLUGIN_FOLDER}"
!endif

; Engines go into a folder named after their processor.
!define KEL_ARCH_32 "x86"
!define KEL_ARCH_64 "x64"
!ifdef KEL_WIDTH_32
  Var PluginDir32
!endif
!ifdef KEL_WIDTH_64
  Var PluginDir64
!endif
!ifdef KEL_ENGINE_32
  Var EngineDir32
!endif
!ifdef KEL_ENGINE_64
  Var EngineDir64
!endif
Var AppDir

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_WELCOME
!ifdef KEL_WIDTH_64
  !define MUI_DIRECTORYPAGE_TEXT_TOP "Setup will install the 64-bit effects of ${KEL_PRODUCT} into the following folder. Choose the folder where your 64-bit host looks for VST 2 plug-ins."
!else
  !define MUI_DIRECTORYPAGE_TEXT_TOP "Setup will install the effects of ${KEL_PRODUCT} into the following folder. Choose the folder where your host looks for VST 2 plug-ins."
!endif
!insertmacro MUI_PAGE_DIRECTORY
!ifdef KEL_WIDTH_32 & KEL_WIDTH_64
  !define MUI_DIRECTORYPAGE_VARIABLE $PluginDir32
  !define MUI_DIRECTORYPAGE_TEXT_TOP "Setup will install the 32-bit effects of ${KEL_PRODUCT} into the following folder. Choose the folder where your 32-bit host looks for VST 2 plug-ins."
  !insertmacro MUI_PAGE_DIRECTORY
!endif
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; $R2 = the value of option $R1 ("/D32=") in the parameters $R0, with the
; error flag clear; the error flag set when the option is not there. Reads
; /D32=C:\a b (up to the next ' /' or ' "'), "/D32=C:\a b" (as Wine hands over
; an argument with a space) and /D32="C:\a b".
Function KelOption
  Push $3
  Push $4
  Push $5
  Push $6
  Push $7
  StrLen $4 $R0
  StrLen $5 $R1
  StrCpy $3 0
  StrCpy $R2 ""
  StrCpy $7 ""  ; how the value ends: '"' or "" (at the next option); "-" none yet
  ${Do}
    ${If} $3 >= $4
      StrCpy $7 "none"
      ${Break}
    ${EndIf}
    StrCpy $6 $R0 $5 $3
    ${If} $6 == $R1
      StrCpy $7 "-"
      ${If} $3 > 0
        IntOp $6 $3 - 1
        StrCpy $6 $R0 1 $6
        ${If} $6 == '"'
          StrCpy $7 '"'
        ${ElseIf} $6 != " "
          StrCpy $7 "inside"  ; part of another word
        ${EndIf}
      ${EndIf}
      ${If} $7 != "inside"
        IntOp $3 $3 + $5
        ${If} $7 == "-"
          StrCpy $7 ""
          StrCpy $6 $R0 1 $3
          ${If} $6 == '"'
            StrCpy $7 '"'
            IntOp $3 $3 + 1
          ${EndIf}
        ${EndIf}
        ${Do}
          ${IfThen} $3 >= $4 ${|} ${Break} ${|}
          StrCpy $6 $R0 1 $3
          ${If} $7 == '"'
            ${IfThen} $6 == '"' ${|} ${Break} ${|}
          ${Else}
            StrCpy $6 $R0 2 $3
            ${IfThen} $6 == " /" ${|} ${Break} ${|}
            ${IfThen} $6 == ' "' ${|} ${Break} ${|}
            StrCpy $6 $R0 1 $3
          ${EndIf}
          StrCpy $R2 "$R2$6"
          IntOp $3 $3 + 1
        ${Loop}
        ${Break}
      ${EndIf}
    ${EndIf}
    IntOp $3 $3 + 1
  ${Loop}
  ClearErrors
  ${If} $7 == "none"
    SetErrors
  ${EndIf}
  Pop $7
  Pop $6
  Pop $5
  Pop $4
  Pop $3
FunctionEnd

; $R2 = why the folder $R1 cannot take plug-ins, or "" when it is a full
; path: a drive letter, a colon and a backslash (C:\...) or a network share
; (\\server\share...), and no character Windows refuses in a path.
Function KelFolderProblem
  Push $3
  Push $4
  Push $5
  Push $6
  StrCpy $R2 ""
  ; A drive letter: one of these, compared without regard to case.
  StrCpy $6 "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
  StrCpy $5 $R1 1
  StrCpy $3 0
  ${Do}
    StrCpy $4 $6 1 $3
    ${IfThen} $4 == "" ${|} ${Break} ${|}
    ${IfThen} $4 == $5 ${|} ${Break} ${|}
    IntOp $3 $3 + 1
  ${Loop}
  StrCpy $6 $R1 2 1
  StrCpy $5 $R1 2
  ${If} $5 == "\\"
    StrCpy $3 2  ; characters checked from here
  ${ElseIf} $4 != ""
  ${AndIf} $6 == ":\"
    StrCpy $3 3
  ${Else}
    StrCpy $R2 "it is not a full path"
  ${EndIf}
  ${If} $R2 == ""
    StrLen $4 $R1
    ${If} $4 <= $3
    ${AndIf} $3 == 2
      StrCpy $R2 "it names no share"
    ${EndIf}
    ${DoWhile} $3 < $4
      StrCpy $5 $R1 1 $3
      ${If} $5 == ":"
      ${OrIf} $5 == "*"
      ${OrIf} $5 == "?"
      ${OrIf} $5 == '"'
      ${OrIf} $5 == "<"
      ${OrIf} $5 == ">"
      ${OrIf} $5 == "|"
      ${OrIf} $5 == "/"
        StrCpy $R2 "it holds '$5'"
        ${Break}
      ${EndIf}
      IntOp $3 $3 + 1
    ${Loop}
  ${EndIf}
  Pop $6
  Pop $5
  Pop $4
  Pop $3
FunctionEnd

; Stops the installer, before anything is written, when folder $R1 is not
; one plug-ins can go into.
!macro KelRequireFolder
  Call KelFolderProblem
  ${If} $R2 != ""
    MessageBox MB_OK|MB_ICONSTOP "The plug-in folder $\"$R1$\" is not valid: $R2. Give a full path such as C:\Audio\VST." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
!macroend

Function .onInit
  ; The command line as it came: setup's own reading of /D= drops the
  ; characters a path cannot hold (so "C:\a:b" would become "C:\ab") and
  ; cuts the line there, and Wine hands a folder with a space over in
  ; quotes, which setup does not read as /D= at all.
  System::Call 'kernel32::GetCommandLine() t .R0'
  ; The folder is checked as given, before $INSTDIR, which drops what a
  ; path cannot hold, takes it.
  StrCpy $R1 "/D="
  Call KelOption
  ${IfNot} ${Errors}
    StrCpy $R1 $R2
    !insertmacro KelRequireFolder
    StrCpy $INSTDIR $R1
  ${EndIf}
  !ifdef KEL_WIDTH_32 & KEL_WIDTH_64
    ; /D= names the 64-bit folder; /D32= the 32-bit one.
    StrCpy $PluginDir32 "$PROGRAMFILES32\${KEL_PLUGIN_FOLDER}"
    StrCpy $R1 "/D32="
    Call KelOption
    ${IfNot} ${Errors}
      StrCpy $R1 $R2
      !insertmacro KelRequireFolder
      StrCpy $PluginDir32 $R1
    ${EndIf}
  !endif
FunctionEnd

; The wizard's folder page offers Next only for a folder plug-ins can go into.
Function .onVerifyInstDir
  Push $R1
  Push $R2
  StrCpy $R1 $INSTDIR
  Call KelFolderProblem
  StrCpy $R1 $R2
  Pop $R2
  ${If} $R1 != ""
    Pop $R1
    Abort
  ${EndIf}
  Pop $R1
FunctionEnd

!ifdef KEL_ENGINE_32 | KEL_ENGINE_64
; In the current registry view, $R0 = 1 when the engine key exists, 0 when
; only Software\KEL exists, 2 when not even that.
Function FindEngineKey
  ; EnumRegKey sets the error flag only when the key itself cannot be opened.
  ClearErrors
  EnumRegKey $R2 HKLM "Software\KEL\${KEL_GUID}" 0
  ${IfNot} ${Errors}
    StrCpy $R0 1
    Return
  ${EndIf}
  ClearErrors
  EnumRegKey $R2 HKLM "Software\KEL" 0
  ${If} ${Errors}
    StrCpy $R0 2
  ${Else}
    StrCpy $R0 0
  ${EndIf}
FunctionEnd
!endif

; An installed version of this product is removed first by its own
; uninstaller, so an upgrade leaves no file of the old version behind and
; records afresh what it created.
Function RemoveInstalledVersion
  SetRegView 32
  ReadRegStr $0 HKLM "${KEL_UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} ${FileExists} "$0\Uninstall.exe"
    DetailPrint "Removing the installed version from $0"
    ClearErrors
    ExecWait '"$0\Uninstall.exe" /S _?=$0' $1
    ${If} ${Errors}
    ${OrIf} $1 != 0
      SetErrorLevel 2
      Abort "Could not remove the installed version of ${KEL_PRODUCT}."
    ${EndIf}
    ; Run in place, the old uninstaller cannot delete itself.
    Delete "$0\Uninstall.exe"
    RMDir "$0"
  ${EndIf}
FunctionEnd

; $R0 = the outermost folder of $R1 (a full path) that does not exist yet,
; which installing into $R1 creates; empty when $R1 exists.
Function FindFirstNewFolder
  StrCpy $R0 ""
  StrCpy $R2 $R1
  ${DoUntil} ${FileExists} "$R2\*.*"
    StrCpy $R0 $R2
    ${GetParent} $R2 $R2
    ${IfThen} $R2 == "" ${|} ${Break} ${|}
  ${Loop}
FunctionEnd

!macro KelInstallWidth WIDTH
  StrCpy $R1 $PluginDir${WIDTH}
  Call FindFirstNewFolder
  SetRegView 32
  WriteRegStr HKLM "${KEL_UNINSTALL_KEY}" "PluginFolder${WIDTH}" "$PluginDir${WIDTH}"
  WriteRegStr HKLM "${KEL_UNINSTALL_KEY}" "PluginFolderCreated${WIDTH}" $R0
  !ifdef KEL_ENGINE_${WIDTH}
    StrCpy $EngineDir${WIDTH} "$AppDir\${KEL_ARCH_${WIDTH}}"
  !endif
  !insertmacro KelInstallFiles${WIDTH}
  !ifdef KEL_ENGINE_${WIDTH}
    ; A plug-in of each width reads the engine key in its own registry view.
    SetRegView ${WIDTH}
    Call FindEngineKey
    ${If} $R0 == 2
      StrCpy $1 "created-with-parent"
    ${ElseIf} $R0 == 0
      StrCpy $1 "created"
    ${Else}
      ClearErrors
      ReadRegStr $2 HKLM "${KEL_ENGINE_KEY}" "PathName"
      ${If} ${Errors}
        StrCpy $1 "value-added"
      ${Else}
        StrCpy $1 "value-replaced"
      ${EndIf}
    ${EndIf}
    ClearErrors
    WriteRegStr HKLM "${KEL_ENGINE_KEY}" "PathName" "$EngineDir${WIDTH}\${KEL_ENGINE_${WIDTH}}"
    ${If} ${Errors}
      SetErrorLevel 2
      Abort "Could not register the engine under HKEY_LOCAL_MACHINE\${KEL_ENGINE_KEY}."
    ${EndIf}
    SetRegView 32
    WriteRegStr HKLM "${KEL_UNINSTALL_KEY}" "EngineKey${WIDTH}" $1
    ${If} $1 == "value-replaced"
      WriteRegStr HKLM "${KEL_UNINSTALL_KEY}" "EnginePrevious${WIDTH}" $2
    ${EndIf}
  !endif
!macroend

!macro KelUninstallWidth WIDTH
  ReadRegStr $PluginDir${WIDTH} HKLM "${KEL_UNINSTALL_KEY}" "PluginFolder${WIDTH}"
  ${If} $PluginDir${WIDTH} != ""
    !insertmacro KelDeleteFiles${WIDTH}
    ; The folders the installer created, innermost first, each only when empty.
    ReadRegStr $0 HKLM "${KEL_UNINSTALL_KEY}" "PluginFolderCreated${WIDTH}"
    StrCpy $1 $PluginDir${WIDTH}
    ${DoWhile} $0 != ""
      RMDir $1
      ${IfThen} $1 == $0 ${|} ${Break} ${|}
      ${GetParent} $1 $1
      ${IfThen} $1 == "" ${|} ${Break} ${|}
    ${Loop}
  ${EndIf}
  !ifdef KEL_ENGINE_${WIDTH}
    StrCpy $EngineDir${WIDTH} "$INSTDIR\${KEL_ARCH_${WIDTH}}"
    !insertmacro KelDeleteEngine${WIDTH}
    RMDir "$EngineDir${WIDTH}"
    ReadRegStr $1 HKLM "${KEL_UNINSTALL_KEY}" "EngineKey${WIDTH}"
    ReadRegStr $2 HKLM "${KEL_UNINSTALL_KEY}" "EnginePrevious${WIDTH}"
    SetRegView ${WIDTH}
    ${If} $1 == "created"
    ${OrIf} $1 == "created-with-parent"
      DeleteRegKey HKLM "${KEL_ENGINE_KEY}"
    ${EndIf}
    ${If} $1 == "created-with-parent"
      DeleteRegKey /ifempty HKLM "Software\KEL"
    ${ElseIf} $1 == "value-added"
      DeleteRegValue HKLM "${KEL_ENGINE_KEY}" "PathName"
    ${ElseIf} $1 == "value-replaced"
      WriteRegStr HKLM "${KEL_ENGINE_KEY}" "PathName" $2
    ${EndIf}
    SetRegView 32
  !endif
!macroend

Section "Install"
  !ifdef KEL_WIDTH_64
    StrCpy $AppDir "$PROGRAMFILES64\${KEL_VENDOR}\${KEL_PRODUCT}"
    StrCpy $PluginDir64 $INSTDIR
  !else
    StrCpy $AppDir "$PROGRAMFILES\${KEL_VENDOR}\${KEL_PRODUCT}"
    StrCpy $PluginDir32 $INSTDIR
  !endif

  Call RemoveInstalledVersion
  !ifdef KEL_WIDTH_32
    !insertmacro KelInstallWidth 32
  !endif
  !ifdef KEL_WIDTH_64
    !insertmacro KelInstallWidth 64
  !endif

  SetOutPath $AppDir
  WriteUninstaller "$AppDir\Uninstall.exe"
  SetRegView 32
  WriteRegStr HKLM "${KEL_UNINSTALL_KEY}" "DisplayName" "${KEL_PRODUCT}"
  WriteRegStr HKLM "${KEL_UNINSTALL_KEY}" "DisplayVersion" "${KEL_VERSION}"
  WriteRegStr HKLM "${KEL_UNINSTALL_KEY}" "Publisher" "${KEL_VENDOR}"
  WriteRegStr HKLM "${KEL_UNINSTALL_KEY}" "InstallLocation" $AppDir
  WriteRegStr HKLM "${KEL_UNINSTALL_KEY}" "UninstallString" '"$AppDir\Uninstall.exe"'
  WriteRegStr HKLM "${KEL_UNINSTALL_KEY}" "QuietUninstallString" '"$AppDir\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${KEL_UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${KEL_UNINSTALL_KEY}" "NoRepair" 1
  SetOutPath $TEMP  ; let go of the product folder
SectionEnd

Section "Uninstall"
  ; The uninstaller lives in the product folder, so $INSTDIR is that folder.
  SetRegView 32
  !ifdef KEL_WIDTH_32
    !insertmacro KelUninstallWidth 32
  !endif
  !ifdef KEL_WIDTH_64
    !insertmacro KelUninstallWidth 64
  !endif
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  ${GetParent} "$INSTDIR" $0
  RMDir $0  ; the vendor's folder, when this was its last product
  DeleteRegKey HKLM "${KEL_UNINSTALL_KEY}"
  ; Started from the product folder, the uninstaller runs from a copy of
  ; itself in Temp, which Windows would remove only at the next restart: a
  ; hidden command removes it once this process has ended.
  ${If} $EXEDIR != $INSTDIR
    SetOutPath $TEMP  ; the command's own folder, which it does not remove
    ExecShell "" "$SYSDIR\cmd.exe" '/C ping -n 3 127.0.0.1 >NUL & del /F /Q "$EXEPATH" & rmdir "$EXEDIR"' SW_HIDE
  ${EndIf}
SectionEnd
