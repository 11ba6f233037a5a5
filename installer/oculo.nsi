; oculo-setup.exe: installs Oculo for 32- and 64-bit applications (each
; bitness's module with its FFmpeg DLLs and tools in a folder of its own), the
; user guide and the licences; registers both modules with their own regsvr32;
; adds an uninstaller, the entry in the list of installed programs and the
; Start menu's "Oculo Settings" and "Uninstall Oculo"; its last page offers
; to open Oculo Settings.
;
; Built by scripts/package-windows.sh:
;   makensis -DVERSION=0.1 -DSTAGE=<staged files> -DFILES=<file list .nsh> -DOUTFILE=<exe> oculo.nsi
; Silent use:
;   oculo-setup.exe /S [/D=C:\Other\Folder]     (exit code 0 done, 1 cancelled or refused, 3 a module did not register)
;   Uninstall.exe /S [/PURGE]                  (/PURGE also removes the slots' settings)

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include LogicLib.nsh
!include x64.nsh
!include FileFunc.nsh
!include MUI2.nsh

!ifndef VERSION | STAGE | FILES | OUTFILE
    !error "VERSION, STAGE, FILES and OUTFILE must be given with -D (see scripts/package-windows.sh)"
!endif
; Macros OculoInstall_x64/_x86 and OculoDelete_x64/_x86, one line a shipped file.
!include "${FILES}"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Oculo"
!define SETTINGS_KEY "SOFTWARE\TALVO\Oculo"
; Where a filter mapper lists the video-input devices.
!define VIDEO_INPUT_CATEGORY "{860BB310-5D01-11D0-BD3B-00A0C911CE86}"
; The Start menu's folder (all users'), the one install.cmd also uses.
!define START_MENU "$SMPROGRAMS\Oculo"

Name "Oculo ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Oculo"
ShowInstDetails show
ShowUninstDetails show

!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Open Oculo Settings to set up a camera"
!define MUI_FINISHPAGE_RUN_FUNCTION OpenSettings
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Var Failed   ; "1" once a module's registration (or removal) failed

; Runs one module's regsvr32 silently; a failure is shown and remembered.
; The 64-bit regsvr32 is only reached with file-system redirection off.
!macro Regsvr32 REGSVR32 ARGS MODULE
    ClearErrors
    ExecWait '"${REGSVR32}" /s ${ARGS}"${MODULE}"' $0
    ${If} ${Errors}
    ${OrIf} $0 != 0
        DetailPrint "regsvr32 ${ARGS}$\"${MODULE}$\" failed (exit code $0)"
        StrCpy $Failed 1
    ${Else}
        DetailPrint "regsvr32 ${ARGS}$\"${MODULE}$\": done"
    ${EndIf}
!macroend

; Both modules: the 64-bit one (64-bit Windows only) and the 32-bit one.
; ARGS is empty or ends with a space ("/u ").
!macro RegisterAll ARGS
    ${If} ${RunningX64}
        ${DisableX64FSRedirection}
        !insertmacro Regsvr32 "$WINDIR\System32\regsvr32.exe" "${ARGS}" "$INSTDIR\x64\Oculo.ax"
        ${EnableX64FSRedirection}
        !insertmacro Regsvr32 "$WINDIR\SysWOW64\regsvr32.exe" "${ARGS}" "$INSTDIR\x86\Oculo.ax"
    ${Else}
        !insertmacro Regsvr32 "$WINDIR\System32\regsvr32.exe" "${ARGS}" "$INSTDIR\x86\Oculo.ax"
    ${EndIf}
!macroend

; Oculo Settings of the system's own bitness: it serves both kinds of
; application either way, and 64-bit Windows runs the 64-bit one natively.
!macro SettingsProgram VAR
    ${If} ${RunningX64}
        StrCpy ${VAR} "$INSTDIR\x64\oculo-settings.exe"
    ${Else}
        StrCpy ${VAR} "$INSTDIR\x86\oculo-settings.exe"
    ${EndIf}
!macroend

Function OpenSettings
    !insertmacro SettingsProgram $0
    Exec '"$0"'
FunctionEnd

Function .onInit
    StrCpy $Failed 0
    ; Settings and registrations live under HKEY_LOCAL_MACHINE: without the
    ; rights nothing is installed, rather than files without registrations.
    UserInfo::GetAccountType
    Pop $0
    ${If} $0 != "Admin"
        MessageBox MB_ICONSTOP "Oculo's setup needs administrator rights: run it as administrator." /SD IDOK
        SetErrorLevel 1
        Quit
    ${EndIf}
FunctionEnd

Section "Oculo"
    SetOutPath "$INSTDIR"
    File "${STAGE}\GUIDE.txt"
    File "${STAGE}\LICENSE.txt"
    File "${STAGE}\OculoStatus.h"
    File "${STAGE}\FFMPEG-LICENSE.txt"
    File "${STAGE}\FFMPEG-BUILD.txt"
    File "${STAGE}\PUGIXML-LICENSE.txt"
    ${If} ${RunningX64}
        SetOutPath "$INSTDIR\x64"
        !insertmacro OculoInstall_x64
    ${EndIf}
    SetOutPath "$INSTDIR\x86"
    !insertmacro OculoInstall_x86
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\Uninstall.exe"

    ; For every user of the computer, as the modules are.
    SetShellVarContext all
    CreateDirectory "${START_MENU}"
    !insertmacro SettingsProgram $0
    CreateShortcut "${START_MENU}\Oculo Settings.lnk" "$0" "" "$0" 0 SW_SHOWNORMAL "" \
        "Set up, try and fix Oculo's network cameras"
    CreateShortcut "${START_MENU}\Uninstall Oculo.lnk" "$INSTDIR\Uninstall.exe"

    ; The list of installed programs reads the 64-bit view on 64-bit Windows.
    SetRegView 64
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Oculo ${VERSION} (network cameras as video-input devices)"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "The Oculo developers"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" "$\"$INSTDIR\Uninstall.exe$\""
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" "$\"$INSTDIR\Uninstall.exe$\" /S"
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
    ; The tools register modules only from where no one but administrators
    ; can change them, as this record, which names the installed location.
    WriteRegStr HKLM "${SETTINGS_KEY}" "InstallDir" "$INSTDIR"
    SetRegView lastused

    ; Slots kept from an earlier install become devices again at once.
    !insertmacro RegisterAll ""
    ${If} $Failed == 1
        MessageBox MB_ICONEXCLAMATION "A module could not be registered (see the details). Applications will not list Oculo's cameras until it is: run $\"oculo-config register$\" as administrator (in either folder)." /SD IDOK
        SetErrorLevel 3
    ${EndIf}
SectionEnd

; Class and device keys of the ten slots, the class key of their property
; page, and the class keys of their media sources (the 64-bit module's), in
; the current registry view: removed here only when a module could not
; unregister itself.
!macro DeleteSlotKeys
    !insertmacro DeleteSlotKey "{C3A21440-DBD1-478D-B853-76689A9DCC61}"
    !insertmacro DeleteSlotKey "{0D17080B-9DDD-4C6D-978F-2CDF4DC3C9E2}"
    !insertmacro DeleteSlotKey "{E2906275-48A0-467D-B025-CED8F1823B76}"
    !insertmacro DeleteSlotKey "{077E3B87-88BE-449F-808B-E6B3308F7B44}"
    !insertmacro DeleteSlotKey "{4DC2A111-F6EE-4F7A-B2F7-79E6ACEECAE7}"
    !insertmacro DeleteSlotKey "{C3D4C1C7-18CE-4C2F-9FDB-DDB2960FF210}"
    !insertmacro DeleteSlotKey "{EEB8E63D-1D87-49B8-8B35-61FA23F17C3C}"
    !insertmacro DeleteSlotKey "{5B999BBB-D1F4-43FF-8D75-C11F7B8D280D}"
    !insertmacro DeleteSlotKey "{3456B19D-B478-4F4A-B869-3A3C9C10EB46}"
    !insertmacro DeleteSlotKey "{A79F18FB-979F-43E7-A317-BC92DC1AE36F}"
    DeleteRegKey HKLM "Software\Classes\CLSID\{0CF84602-FEC2-4077-A1AB-4D7BB2948B1B}"
    DeleteRegKey HKLM "Software\Classes\CLSID\{62D83D5E-A6DB-44A0-98FE-637A9A51938F}"
    DeleteRegKey HKLM "Software\Classes\CLSID\{D9E37036-198D-45A9-8F2A-922EB6F5F7C9}"
    DeleteRegKey HKLM "Software\Classes\CLSID\{C9728634-EB94-4138-85AA-0E3B172C7608}"
    DeleteRegKey HKLM "Software\Classes\CLSID\{6662886B-F572-446A-A1D9-FD371F86D327}"
    DeleteRegKey HKLM "Software\Classes\CLSID\{C37B4CF3-B76F-4E05-B4CF-46B613650527}"
    DeleteRegKey HKLM "Software\Classes\CLSID\{B7A5325D-382A-4141-ABF9-0CDFE7141D97}"
    DeleteRegKey HKLM "Software\Classes\CLSID\{5DA9A62F-1123-4C31-91AB-BE20AD633E3B}"
    DeleteRegKey HKLM "Software\Classes\CLSID\{7345A1C3-75A9-4B83-BF8D-4AF5FCAF1621}"
    DeleteRegKey HKLM "Software\Classes\CLSID\{FB187B7D-F02F-489D-92C6-F41804AA8D1B}"
    DeleteRegKey HKLM "Software\Classes\CLSID\{74B12C17-C06D-4797-B385-4F9827070A0E}"
!macroend
!macro DeleteSlotKey CLSID
    DeleteRegKey HKLM "Software\Classes\CLSID\${CLSID}"
    DeleteRegKey HKLM "Software\Classes\CLSID\${VIDEO_INPUT_CATEGORY}\Instance\${CLSID}"
!macroend

Section "Uninstall"
    StrCpy $Failed 0
    ; The Windows camera apps' virtual cameras go first, and only the 64-bit
    ; oculo-config can remove them (this script could only delete their
    ; record). It unregisters both modules too; regsvr32 then finds nothing
    ; left to remove, or does what it could not.
    ${If} ${RunningX64}
        nsExec::ExecToLog '"$INSTDIR\x64\oculo-config.exe" unregister'
        Pop $0
        ${If} $0 != 0
            DetailPrint "oculo-config unregister failed ($0): the Windows camera apps may still list Oculo's cameras"
            StrCpy $Failed 1
        ${EndIf}
    ${EndIf}
    !insertmacro RegisterAll "/u "
    ${If} $Failed == 1
        DetailPrint "Removing the slots' class and device entries directly"
        SetRegView 64
        !insertmacro DeleteSlotKeys
        SetRegView 32
        !insertmacro DeleteSlotKeys
        SetRegView lastused
    ${EndIf}

    SetShellVarContext all
    Delete "${START_MENU}\Oculo Settings.lnk"
    Delete "${START_MENU}\Uninstall Oculo.lnk"
    RMDir "${START_MENU}"

    !insertmacro OculoDelete_x64
    !insertmacro OculoDelete_x86
    Delete "$INSTDIR\GUIDE.txt"
    Delete "$INSTDIR\LICENSE.txt"
    Delete "$INSTDIR\OculoStatus.h"
    Delete "$INSTDIR\FFMPEG-LICENSE.txt"
    Delete "$INSTDIR\FFMPEG-BUILD.txt"
    Delete "$INSTDIR\PUGIXML-LICENSE.txt"
    Delete "$INSTDIR\Uninstall.exe"
    ; Only emptied folders go: anything the user put there stays.
    RMDir "$INSTDIR\x64"
    RMDir "$INSTDIR\x86"
    RMDir "$INSTDIR"

    SetRegView 64
    DeleteRegValue HKLM "${SETTINGS_KEY}" "InstallDir"
    ; The record of virtual cameras, once they are all removed.
    DeleteRegKey /ifempty HKLM "${SETTINGS_KEY}\VirtualCameras"
    DeleteRegKey /ifempty HKLM "${SETTINGS_KEY}"
    DeleteRegKey /ifempty HKLM "SOFTWARE\TALVO"
    SetRegView lastused

    ; The cameras' settings stay for a later install unless asked otherwise.
    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/PURGE" $R1
    ${If} ${Errors}
        MessageBox MB_YESNO|MB_DEFBUTTON2 "Also remove the cameras' settings (slots 0 to 9)? Keep them to use them again after a new install." /SD IDNO IDNO keep
    ${EndIf}
    DetailPrint "Removing the cameras' settings"
    SetRegView 64
    DeleteRegKey HKLM "${SETTINGS_KEY}"
    DeleteRegKey /ifempty HKLM "SOFTWARE\TALVO"
    SetRegView 32
    DeleteRegKey HKLM "${SETTINGS_KEY}"
    DeleteRegKey /ifempty HKLM "SOFTWARE\TALVO"
    SetRegView lastused
keep:

    ; Last, so that the entry's going tells the uninstall is over.
    SetRegView 64
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    SetRegView lastused
    IfRebootFlag 0 +2
        MessageBox MB_ICONINFORMATION "Some files are in use: they go when Windows restarts." /SD IDOK
    ${If} $Failed == 1
        SetErrorLevel 3
    ${EndIf}
SectionEnd
