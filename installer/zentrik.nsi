; Zentrik's per-user installer (no administrator rights).
;
; makensis -DVERSION=0.98 -DSTAGE=<folder with x86\ and x64\> -DSOURCE=<repo>
;          -DOUTFILE=<setup.exe> [-DBRIDGE] zentrik.nsi   (scripts/release.sh does this)
;
; Which program is installed: the 32-bit one by default, because the tuner
; makers' filters are 32-bit in-process servers and only a 32-bit process can
; load them. The 64-bit one when only a 64-bit filter is registered under the
; tuner's class id, when an earlier 64-bit install is upgraded, or when the
; user asks (the components page, or /ARCH=x64 on the command line).
;
; Command line: /S silent; /ARCH=x86|x64; /DEMO=1|0, /BRIDGE=1|0, /PHONE=1|0
; and /LIST=1|0 choose the optional components; /D=folder the install folder
; (last, unquoted).
;
; satellite.ini: the component "Current satellite list (2026)", on by default,
; writes the current list as satellite.ini, with its GPL notice, only when the
; folder holds no list (no *atellite.ini, the program's own test): a user's
; list, and the list of an earlier install, are never replaced. Without it the
; program writes its built-in list at the first start. The uninstaller removes
; satellite.ini only while it still equals one of those two lists, so a list
; the user changed stays, and a later install finds it. A list the program
; made from a satellites.xml ends with a line saying so, so it never equals
; them and stays too, as do the lists it kept (satellite-YYYY-MM-DD.ini).

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh

!define PRODUCT "Zentrik"
!define PUBLISHER "The Zentrik developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Zentrik"
!define TUNER_CLASS "{E82536A0-94DA-11D2-A463-00A0C95D308D}"
!define WINDOW_CLASS "ZentrikMainWindow"
!define PHONE_SHORTCUT "$SMPROGRAMS\Zentrik (phone display).lnk"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Zentrik"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "LegalCopyright" "Copyright (C) 2026 ${PUBLISHER}. MIT License."

Var Arch           ; x86 or x64: the program this run installs
Var ProgramSection ; the selected one of the two program sections (radio buttons)

Page license
Page components
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles
LicenseData "${STAGE}\x64\LICENSE.txt"
ComponentText "Zentrik ${VERSION}. The 32-bit program is the one that loads a tuner card maker's filter; choose the 64-bit one only for a card whose filter is 64-bit."

; --- helpers shared by the installer and the uninstaller --------------------

; The regsvr32 of an architecture: this installer is a 64-bit process, so it
; sees the 64-bit System32 and the 32-bit SysWOW64 without redirection.
!macro RegSvrOf ARCH OUT
  ${If} ${ARCH} == "x86"
    StrCpy ${OUT} "$WINDIR\SysWOW64\regsvr32.exe"
  ${Else}
    StrCpy ${OUT} "$WINDIR\System32\regsvr32.exe"
  ${EndIf}
!macroend

; Runs regsvr32 [/u] silently on a DLL of an architecture; OUT = exit code.
!macro RunRegSvr ARCH SWITCHES DLL OUT
  !insertmacro RegSvrOf ${ARCH} $R8
  ClearErrors
  ExecWait '"$R8" /s ${SWITCHES} "${DLL}"' ${OUT}
  ${If} ${Errors}
    StrCpy ${OUT} "failed to start"
  ${EndIf}
!macroend

; The server registered under the tuner class id in one registry view and
; root; "" when none.
!macro RegisteredTuner ROOT VIEW OUT
  SetRegView ${VIEW}
  ReadRegStr ${OUT} ${ROOT} "Software\Classes\CLSID\${TUNER_CLASS}\InprocServer32" ""
  SetRegView default
!macroend

; Undoes the tuner registrations an earlier install (or this uninstall) made,
; with the regsvr32 of the architecture that made them.
!macro UnregisterOwnTuners UN
Function ${UN}UnregisterOwnTuners
  ReadRegStr $R0 HKCU "${UNINSTALL_KEY}" "Architecture"
  ${If} $R0 == ""
    Return
  ${EndIf}
  ReadRegDWORD $R1 HKCU "${UNINSTALL_KEY}" "DemoTunerRegistered"
  ${If} $R1 == 1
    !insertmacro RunRegSvr $R0 "/u" "$INSTDIR\demo\ZentrikSimTuner.dll" $R2
    DetailPrint "Demo tuner unregistered: $R2"
    DeleteRegValue HKCU "${UNINSTALL_KEY}" "DemoTunerRegistered"
  ${EndIf}
  ReadRegDWORD $R1 HKCU "${UNINSTALL_KEY}" "BridgeRegistered"
  ${If} $R1 == 1
    !insertmacro RunRegSvr $R0 "/u" "$INSTDIR\bridge\ZentrikBdaTuner.dll" $R2
    DetailPrint "BDA bridge unregistered: $R2"
    DeleteRegValue HKCU "${UNINSTALL_KEY}" "BridgeRegistered"
  ${EndIf}
FunctionEnd
!macroend
!insertmacro UnregisterOwnTuners ""
!insertmacro UnregisterOwnTuners "un."

; Only the files this installer puts there are removed, by name: the folder
; may be one the user chose and shares with other files.
; (The current list's notice stays with a list that stays.)
!macro RemoveOptionalComponents
  Delete "$INSTDIR\ZentrikPhone.dll"
  Delete "${PHONE_SHORTCUT}"
  Delete "$INSTDIR\demo\ZentrikSimTuner.dll"
  RMDir "$INSTDIR\demo"
  Delete "$INSTDIR\bridge\ZentrikBdaTuner.dll"
  Delete "$INSTDIR\bridge\bdaprobe.exe"
  RMDir "$INSTDIR\bridge"
!macroend

; The uninstaller and a running program do not mix: files in use stay.
!macro RefuseWhileRunning
  FindWindow $R0 "${WINDOW_CLASS}"
  ${If} $R0 != 0
    MessageBox MB_OK|MB_ICONEXCLAMATION "Zentrik is running. Close it and start again." /SD IDOK
    Abort
  ${EndIf}
!macroend

; Installs one file of the program's architecture into a folder of $INSTDIR.
!macro InstallForArch FOLDER FILE
  SetOutPath "$INSTDIR\${FOLDER}"
  ${If} $Arch == "x64"
    File "${STAGE}\x64\${FOLDER}\${FILE}"
  ${Else}
    File "${STAGE}\x86\${FOLDER}\${FILE}"
  ${EndIf}
  SetOutPath "$INSTDIR"
!macroend

; --- install -----------------------------------------------------------------

; An install over an earlier one starts from its files without the optional
; components: the components chosen now bring theirs back.
Section "-Unregister what an earlier install registered"
  Call UnregisterOwnTuners
  !insertmacro RemoveOptionalComponents
SectionEnd

SectionGroup /e "Program"
  Section "32-bit program" SecX86
  SectionEnd
  Section /o "64-bit program" SecX64
  SectionEnd
SectionGroupEnd

Section "-Program files" SecFiles
  !insertmacro InstallForArch . Zentrik.exe
  ; The satellite list maker, loaded only for a dropped satellites.xml.
  !insertmacro InstallForArch . ZentrikList.dll
  File "${STAGE}\x64\ReadMe.txt"
  File "${STAGE}\x64\LICENSE.txt"
  File "${STAGE}\x64\Zentrik.html"
  SetOutPath "$INSTDIR\pictures"
  File "${STAGE}\x64\pictures\*.png"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Zentrik.lnk" "$INSTDIR\Zentrik.exe" "" "$INSTDIR\Zentrik.exe" 0 \
    SW_SHOWNORMAL "" "Satellite dish alignment aid"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Architecture" $Arch
SectionEnd

; Installs a tuner component's DLL and registers it for the user when $R0,
; the filter found registered, is empty. (The zips' register scripts are not
; installed: the installer and uninstaller do their work.)
!macro TunerComponent NAME FOLDER DLL FLAG
  !insertmacro InstallForArch ${FOLDER} ${DLL}
  ${If} $R0 == ""
    !insertmacro RunRegSvr $Arch "" "$INSTDIR\${FOLDER}\${DLL}" $R2
    ${If} $R2 == 0
      WriteRegDWORD HKCU "${UNINSTALL_KEY}" "${FLAG}" 1
      DetailPrint "${NAME} registered for this user."
    ${Else}
      DetailPrint "${NAME} could not be registered (regsvr32: $R2)."
    ${EndIf}
  ${Else}
    DetailPrint "A tuner filter is registered already ($R0): ${NAME} left unregistered."
  ${EndIf}
!macroend

; The current satellite list, written only where the program would write its
; own: into a folder without any *atellite.ini.
Section "Current satellite list (2026)" SecList
  File "${STAGE}\x64\satellite-list-LICENSE.txt"
  ${IfNot} ${FileExists} "$INSTDIR\*atellite.ini"
    File "${STAGE}\x64\satellite.ini"
  ${Else}
    DetailPrint "Kept the satellite list in $INSTDIR"
  ${EndIf}
SectionEnd

; The demo tuner stands in for a card only where no tuner filter is
; registered in the program's view.
Section /o "Demo tuner (no card)" SecDemo
  Call RegisteredTunerInView
  !insertmacro TunerComponent "The demo tuner" demo ZentrikSimTuner.dll DemoTunerRegistered
SectionEnd

; The phone display: its server beside the program and a second shortcut
; that starts the program with /phone. Without it the program never opens a
; socket.
Section /o "Phone display (second shortcut)" SecPhone
  !insertmacro InstallForArch . ZentrikPhone.dll
  CreateShortcut "${PHONE_SHORTCUT}" "$INSTDIR\Zentrik.exe" "/phone" "$INSTDIR\Zentrik.exe" 0 \
    SW_SHOWNORMAL "" "Satellite dish alignment aid, with the level on a phone"
SectionEnd

!ifdef BRIDGE
; The maker's own filter always wins: the bridge is registered only when no
; filter is registered machine-wide in the program's registry view. A demo
; tuner chosen in the same run says there is no card: the bridge then stays
; unregistered, its files installed.
Section "Any BDA DVB-S card" SecBridge
  !insertmacro InstallForArch bridge bdaprobe.exe
  Call MachineTunerInView
  ${If} ${SectionIsSelected} ${SecDemo}
    StrCpy $R0 "the demo tuner, chosen too"
  ${EndIf}
  !insertmacro TunerComponent "The BDA bridge" bridge ZentrikBdaTuner.dll BridgeRegistered
SectionEnd
!endif

Section "-Apps & features entry"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} ${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Zentrik.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $R0 $R1 $R2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $R0
SectionEnd

; $R0 := the server registered machine-wide under the tuner class id in the
; program's registry view; "" when none.
Function MachineTunerInView
  ${If} $Arch == "x64"
    !insertmacro RegisteredTuner HKLM 64 $R0
  ${Else}
    !insertmacro RegisteredTuner HKLM 32 $R0
  ${EndIf}
FunctionEnd

; $R0 := the same, per user or machine-wide.
Function RegisteredTunerInView
  ${If} $Arch == "x64"
    !insertmacro RegisteredTuner HKCU 64 $R0
  ${Else}
    !insertmacro RegisteredTuner HKCU 32 $R0
  ${EndIf}
  ${If} $R0 == ""
    Call MachineTunerInView
  ${EndIf}
FunctionEnd

; The architecture when the user has not named one: 64-bit only when a tuner
; filter is registered in the 64-bit view and none in the 32-bit view; else
; what an earlier install chose; else 32-bit.
Function ChooseArchitecture
  StrCpy $Arch "x86"
  StrCpy $R1 ""
  StrCpy $R2 ""
  !insertmacro RegisteredTuner HKLM 64 $R3
  !insertmacro RegisteredTuner HKCU 64 $R4
  StrCpy $R1 "$R3$R4"
  !insertmacro RegisteredTuner HKLM 32 $R3
  !insertmacro RegisteredTuner HKCU 32 $R4
  StrCpy $R2 "$R3$R4"
  ${If} $R1 != ""
  ${AndIf} $R2 == ""
    StrCpy $Arch "x64"
  ${ElseIf} $R1 == ""
  ${AndIf} $R2 == ""
    ReadRegStr $R3 HKCU "${UNINSTALL_KEY}" "Architecture"
    ${If} $R3 == "x64"
      StrCpy $Arch "x64"
    ${EndIf}
  ${EndIf}
FunctionEnd

; /NAME=1 or /NAME=0 selects or clears an optional component.
!macro OptionalComponent SWITCH SECTION
  ${GetOptions} $R0 "/${SWITCH}=" $R1
  ${If} $R1 == "1"
    !insertmacro SelectSection ${SECTION}
  ${ElseIf} $R1 == "0"
    !insertmacro UnselectSection ${SECTION}
  ${EndIf}
!macroend

Function .onInit
  SetShellVarContext current
  !insertmacro RefuseWhileRunning
  ${GetParameters} $R0
  ${GetOptions} $R0 "/ARCH=" $R1
  ${If} $R1 == "x64"
  ${OrIf} $R1 == "x86"
    StrCpy $Arch $R1
  ${Else}
    Call ChooseArchitecture
  ${EndIf}
  ${If} $Arch == "x64"
    !insertmacro UnselectSection ${SecX86}
    !insertmacro SelectSection ${SecX64}
    StrCpy $ProgramSection ${SecX64}
  ${Else}
    StrCpy $ProgramSection ${SecX86}
  ${EndIf}
  ${GetParameters} $R0
  !insertmacro OptionalComponent DEMO ${SecDemo}
  !insertmacro OptionalComponent PHONE ${SecPhone}
  !insertmacro OptionalComponent LIST ${SecList}
!ifdef BRIDGE
  !insertmacro OptionalComponent BRIDGE ${SecBridge}
!endif
FunctionEnd

; The two program sections behave as radio buttons.
Function .onSelChange
  !insertmacro StartRadioButtons $ProgramSection
    !insertmacro RadioButton ${SecX86}
    !insertmacro RadioButton ${SecX64}
  !insertmacro EndRadioButtons
  ${If} $ProgramSection == ${SecX64}
    StrCpy $Arch "x64"
  ${Else}
    StrCpy $Arch "x86"
  ${EndIf}
FunctionEnd

; --- uninstall ---------------------------------------------------------------

; $R2 := 1 when the two files hold the same bytes.
Function un.SameFile   ; $R0, $R1 = the files
  StrCpy $R2 0
  ClearErrors
  FileOpen $R3 $R0 r
  FileOpen $R4 $R1 r
  ${IfNot} ${Errors}
    FileSeek $R3 0 END $R5
    FileSeek $R4 0 END $R6
    ${If} $R5 == $R6
      FileSeek $R3 0 SET
      FileSeek $R4 0 SET
      StrCpy $R2 1
      ${Do}
        ClearErrors
        FileReadByte $R3 $R5
        FileReadByte $R4 $R6
        ${If} ${Errors}
          ${Break}
        ${EndIf}
        ${If} $R5 != $R6
          StrCpy $R2 0
          ${Break}
        ${EndIf}
      ${Loop}
    ${EndIf}
  ${EndIf}
  FileClose $R3
  FileClose $R4
FunctionEnd

Function un.onInit
  SetShellVarContext current
  !insertmacro RefuseWhileRunning
FunctionEnd

Section "Uninstall"
  Call un.UnregisterOwnTuners
  Delete "$INSTDIR\Zentrik.exe"
  Delete "$INSTDIR\ZentrikList.dll"
  Delete "$INSTDIR\ReadMe.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\Zentrik.html"
  Delete "$INSTDIR\satellite-list-LICENSE.txt"
  Delete "$INSTDIR\pictures\window.png"
  Delete "$INSTDIR\pictures\buttons.png"
  Delete "$INSTDIR\pictures\small-buttons.png"
  RMDir "$INSTDIR\pictures"
  !insertmacro RemoveOptionalComponents
  ; The list goes only while it is still the built-in one the program wrote
  ; or the current one the installer wrote (one the program made from a
  ; satellites.xml never is: its last line says where it came from).
  InitPluginsDir
  File "/oname=$PLUGINSDIR\satellite_default.ini" "${SOURCE}\resources\satellite_default.ini"
  File "/oname=$PLUGINSDIR\satellite_current.ini" "${SOURCE}\satlist\satellite.ini"
  StrCpy $R0 "$INSTDIR\satellite.ini"
  StrCpy $R1 "$PLUGINSDIR\satellite_default.ini"
  Call un.SameFile
  ${If} $R2 != 1
    StrCpy $R1 "$PLUGINSDIR\satellite_current.ini"
    Call un.SameFile
  ${EndIf}
  ${If} $R2 == 1
    Delete "$INSTDIR\satellite.ini"
  ${Else}
    DetailPrint "Kept your satellite list: $INSTDIR\satellite.ini"
  ${EndIf}
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Zentrik.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
