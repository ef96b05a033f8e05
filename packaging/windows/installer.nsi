; The Windows installer: the five programs, README.txt and libpq's copyright notice into Program
; Files, Start-menu entries for the dialog and the station window (with the programs' icon), and
; an uninstaller registered with Windows. "/S" installs or uninstalls without a window.
;
; The programs keep their settings (QVLink.cfg, QVLinkStation.json) in the folder they start in,
; and an operator's records lie wherever the operator puts them: the Start-menu entries start in
; "Quorvane Link" in the public Documents, which every user may write to, and the uninstaller
; removes exactly the files it installed, so those stay.
;
; The station as a Windows service is a component, off unless chosen (on the components page, or
; "/SERVICE" beside "/S"): qvlink-station.exe --install-service registers it, not started, and
; makes %ProgramData%\Quorvane Link with a sample station.json when there is none. The
; uninstaller stops and removes the service whether or not it was chosen (nothing to do when it
; is not there) and leaves %ProgramData%\Quorvane Link, the station's settings and record.
;
; makensis -DVERSION=1.1 -DPACKAGE=DIR -DICON=FILE -DOUTFILE=FILE installer.nsi
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include FileFunc.nsh
!include LogicLib.nsh
!include Sections.nsh

!define PRODUCT "Quorvane Link"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\QuorvaneLink"
!define MENU "$SMPROGRAMS\${PRODUCT}"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
Icon "${ICON}"
UninstallIcon "${ICON}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
ShowInstDetails show
ShowUninstDetails show

Page components
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

!macro INSTALLED_FILES VERB
    ${VERB} "$INSTDIR\qvlink.exe"
    ${VERB} "$INSTDIR\qvlink-station.exe"
    ${VERB} "$INSTDIR\qvlink-cli.exe"
    ${VERB} "$INSTDIR\qvlink-pack.exe"
    ${VERB} "$INSTDIR\qvlink-records.exe"
    ${VERB} "$INSTDIR\README.txt"
    ${VERB} "$INSTDIR\libpq-COPYRIGHT.txt"
    ${VERB} "$INSTDIR\openssl-LICENSE.txt"
!macroend

Function un.onInit
    SetShellVarContext all
FunctionEnd

Section "Programs" PROGRAMS_SECTION
    SectionIn RO
    SetOutPath "$INSTDIR"
    File "${PACKAGE}\qvlink.exe"
    File "${PACKAGE}\qvlink-station.exe"
    File "${PACKAGE}\qvlink-cli.exe"
    File "${PACKAGE}\qvlink-pack.exe"
    File "${PACKAGE}\qvlink-records.exe"
    File "${PACKAGE}\README.txt"
    File "${PACKAGE}\libpq-COPYRIGHT.txt"
    File "${PACKAGE}\openssl-LICENSE.txt"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    ; The entries start in the operators' folder (a shortcut starts in the output path).
    SetOutPath "$DOCUMENTS\${PRODUCT}"
    CreateDirectory "${MENU}"
    CreateShortCut "${MENU}\${PRODUCT}.lnk" "$INSTDIR\qvlink.exe" "" "$INSTDIR\qvlink.exe" 0
    CreateShortCut "${MENU}\${PRODUCT} Station.lnk" "$INSTDIR\qvlink-station.exe" "" \
        "$INSTDIR\qvlink-station.exe" 0
    CreateShortCut "${MENU}\Uninstall ${PRODUCT}.lnk" "$INSTDIR\uninstall.exe"
    SetOutPath "$INSTDIR"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\qvlink.exe,0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section /o "Station as a Windows service" SERVICE_SECTION
    ExecWait '"$INSTDIR\qvlink-station.exe" --install-service' $0
    ${If} $0 != 0
        DetailPrint "The service could not be registered (status $0)."
        SetErrorLevel 1
    ${EndIf}
SectionEnd

; After the sections, whose numbers it needs: "/SERVICE" chooses the service.
Function .onInit
    SetShellVarContext all
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/SERVICE" $1
    ${IfNot} ${Errors}
        !insertmacro SelectSection ${SERVICE_SECTION}
    ${EndIf}
FunctionEnd

Section "Uninstall"
    ; Before its program goes; harmless when the service is not there.
    ExecWait '"$INSTDIR\qvlink-station.exe" --remove-service' $0
    ${If} $0 != 0
        DetailPrint "The service could not be removed (status $0)."
    ${EndIf}
    !insertmacro INSTALLED_FILES Delete
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"  ; only when empty: nothing of an operator's is removed
    Delete "${MENU}\${PRODUCT}.lnk"
    Delete "${MENU}\${PRODUCT} Station.lnk"
    Delete "${MENU}\Uninstall ${PRODUCT}.lnk"
    RMDir "${MENU}"
    RMDir "$DOCUMENTS\${PRODUCT}"  ; only when no settings or records were left there
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
