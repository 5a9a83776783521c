; The setup program of ORVELL for Windows, made with NSIS by tools/windows/make-setup.sh
; (tools/windows.sh runs it). It installs for the current user only, without administrator
; rights, into a folder the user can write (the program keeps its files beside itself):
; the program's folder, a Start-menu shortcut, an entry in the user's list of installed
; programs and, when asked for, the start at login. The user's config.ini, snapshot and
; sounds stay on an upgrade and, unless asked otherwise, on an uninstall.
;   setup.exe [/S] [/AUTOSTART] [/D=FOLDER]   /S: silent; /AUTOSTART: start at every login
;   uninstall.exe [/S] [/PURGE]               /PURGE: also config.ini, the snapshot, the kept
;                                             versions (history, data.type), the sounds
; Defined by the caller: VERSION, FOLDER (the program's folder), FILES and UNFILES (the
; lines that install and remove the program's files), ICON and OUTFILE.

Unicode true
; A 64-bit setup program, like the program (and Wine without its 32-bit part runs it).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
; A file that cannot be replaced is an error to retry or give up on, never skipped.
AllowSkipFiles off

!include FileFunc.nsh
!include LogicLib.nsh
!include MUI2.nsh
!include nsDialogs.nsh
!include Sections.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ORVELL"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"

Name "ORVELL"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\ORVELL"
; An upgrade goes where the program is.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "ORVELL ${VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\orvell.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start ORVELL now"
!insertmacro MUI_PAGE_FINISH
UninstPage custom un.OptionsPage un.OptionsLeave
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; The setup's own version information (its properties in Explorer); it claims no copyright.
!pragma warning disable 9100
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "ORVELL"
VIAddVersionKey "CompanyName" "ORVELL"
VIAddVersionKey "FileDescription" "ORVELL setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"

; A watcher running from the folder holds its files: it is asked to end, as its menu's
; "Exit" does (orvell.exe --exit returns once it has ended). One that does not end leaves
; the user to choose Exit; a silent run gives up.
!macro END_WATCHER un
Function ${un}EndWatcher
    IfFileExists "$INSTDIR\orvell.exe" 0 done
    DetailPrint "Ending ORVELL where it runs from $INSTDIR"
    ExecWait '"$INSTDIR\orvell.exe" --exit'
retry:
    ClearErrors
    FileOpen $0 "$INSTDIR\orvell.exe" a
    IfErrors 0 free
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
        "ORVELL is still running from $INSTDIR.$\r$\n$\r$\nChoose Exit in the menu of its icon, then Retry." \
        /SD IDCANCEL IDRETRY retry
    Abort "ORVELL is still running from $INSTDIR"
free:
    FileClose $0
done:
FunctionEnd
!macroend
!insertmacro END_WATCHER ""
!insertmacro END_WATCHER "un."

Section "ORVELL" SecProgram
    SectionIn RO
    Call EndWatcher
    ; The program, its libraries, plugins and licences, replaced on an upgrade.
    !include "${FILES}"
    ; The user's files from the first install on: the defaults only where missing.
    SetOutPath "$INSTDIR"
    ${IfNot} ${FileExists} "$INSTDIR\config.ini"
        File "${FOLDER}/config.ini"
    ${EndIf}
    ${IfNot} ${FileExists} "$INSTDIR\Sounds\chime.wav"
        SetOutPath "$INSTDIR\Sounds"
        File "${FOLDER}/Sounds/chime.wav"
        SetOutPath "$INSTDIR"
    ${EndIf}
    WriteUninstaller "$INSTDIR\uninstall.exe"

    ; Started from the Start menu in its folder.
    CreateShortcut "$SMPROGRAMS\ORVELL.lnk" "$INSTDIR\orvell.exe" "" "$INSTDIR\orvell.exe" 0

    ; The entry in the user's list of installed programs.
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "ORVELL"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "ORVELL"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\orvell.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section /o "Start at every login" SecAutostart
    WriteRegStr HKCU "${RUN_KEY}" "ORVELL" '"$INSTDIR\orvell.exe"'
SectionEnd

Section "-Not at login"
    ${IfNot} ${SectionIsSelected} ${SecAutostart}
        Call RemoveRunValue
    ${EndIf}
SectionEnd

!macro REMOVE_RUN_VALUE un
; The Run value goes where it starts this folder's program.
Function ${un}RemoveRunValue
    ReadRegStr $0 HKCU "${RUN_KEY}" "ORVELL"
    ${If} $0 == '"$INSTDIR\orvell.exe"'
        DeleteRegValue HKCU "${RUN_KEY}" "ORVELL"
    ${EndIf}
FunctionEnd
!macroend
!insertmacro REMOVE_RUN_VALUE ""
!insertmacro REMOVE_RUN_VALUE "un."

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
    !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} \
        "The program, in a folder of yours, and its entry in the Start menu. An upgrade keeps your config.ini, snapshot and sounds."
    !insertmacro MUI_DESCRIPTION_TEXT ${SecAutostart} \
        "ORVELL starts whenever you log in to Windows."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function .onInit
    ; Start at login: ticked where it is on already, or asked for with /AUTOSTART.
    ReadRegStr $0 HKCU "${RUN_KEY}" "ORVELL"
    ${GetParameters} $1
    ClearErrors
    ${GetOptions} $1 "/AUTOSTART" $2
    ${IfNot} ${Errors}
    ${OrIf} $0 != ""
        !insertmacro SelectSection ${SecAutostart}
    ${EndIf}
FunctionEnd

; --- the uninstaller --------------------------------------------------------------------

; 1: the user's files go too ("Also remove my settings and snapshot", /PURGE).
Var Purge
Var PurgeBox

Function un.OptionsPage
    !insertmacro MUI_HEADER_TEXT "Uninstall ORVELL" "Remove ORVELL from $INSTDIR."
    nsDialogs::Create 1018
    Pop $0
    ${NSD_CreateLabel} 0 0 100% 48u \
        "ORVELL is ended where it runs from this folder. The program, its Start-menu entry, its start at login and its entry in the list of programs are removed.$\r$\n$\r$\nYour config.ini, the snapshot (data.orvl, data.tmp, data.type), the kept versions (history) and sounds of your own stay in $INSTDIR unless you tick:"
    Pop $0
    ${NSD_CreateCheckbox} 0 56u 100% 12u "Also remove my settings and snapshot"
    Pop $PurgeBox
    ${If} $Purge == 1
        ${NSD_Check} $PurgeBox
    ${EndIf}
    GetDlgItem $0 $HWNDPARENT 1
    SendMessage $0 ${WM_SETTEXT} 0 "STR:Uninstall"
    nsDialogs::Show
FunctionEnd

Function un.OptionsLeave
    ${NSD_GetState} $PurgeBox $0
    ${If} $0 == ${BST_CHECKED}
        StrCpy $Purge 1
    ${Else}
        StrCpy $Purge 0
    ${EndIf}
FunctionEnd

Section "Uninstall"
    Call un.EndWatcher
    !include "${UNFILES}"
    Call un.RemoveDefaultSound
    Delete "$INSTDIR\uninstall.exe"
    Delete "$SMPROGRAMS\ORVELL.lnk"
    Call un.RemoveRunValue
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    ${If} $Purge == 1
        Delete "$INSTDIR\config.ini"
        Delete "$INSTDIR\data.orvl"
        Delete "$INSTDIR\data.tmp"
        Delete "$INSTDIR\data.type"
        Delete "$INSTDIR\data.old"
        RMDir /r "$INSTDIR\history"
        RMDir /r "$INSTDIR\Sounds"
    ${EndIf}
    RMDir "$INSTDIR\Sounds"
    RMDir "$INSTDIR"
SectionEnd

; The default sound goes unless the user has put another file under its name.
Function un.RemoveDefaultSound
    IfFileExists "$INSTDIR\Sounds\chime.wav" 0 done
    InitPluginsDir
    File "/oname=$PLUGINSDIR\chime.wav" "${FOLDER}/Sounds/chime.wav"
    FileOpen $0 "$INSTDIR\Sounds\chime.wav" r
    FileOpen $1 "$PLUGINSDIR\chime.wav" r
    FileSeek $0 0 END $2
    FileSeek $1 0 END $3
    StrCmp $2 $3 0 close
    FileSeek $0 0 SET
    FileSeek $1 0 SET
compare:
    ClearErrors
    FileReadByte $0 $2
    IfErrors same
    FileReadByte $1 $3
    StrCmp $2 $3 compare close
same:
    FileClose $0
    FileClose $1
    Delete "$INSTDIR\Sounds\chime.wav"
    Goto done
close:
    FileClose $0
    FileClose $1
done:
FunctionEnd

Function un.onInit
    StrCpy $Purge 0
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/PURGE" $1
    ${IfNot} ${Errors}
        StrCpy $Purge 1
    ${EndIf}
FunctionEnd
