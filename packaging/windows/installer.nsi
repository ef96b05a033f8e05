; The Windows installer: the five programs, README.txt and libpq's copyright notice into Program
; Files, Start-menu entries for the dialog and the station window (with the programs' icon), and
; an uninstaller registered with Windows. "/S" installs or uninstalls without a window.
;
; The programs keep their settings (QVLink.cfg, QVLinkStation.json) in the folder they start in,
; and an operator's records lie wherever the operator puts them: the Start-menu entries start in
; "Quorvane Link" in the public Documents, which every user may write to, and the uninstaller
; removes exactly the files it installed, so those stay.
;
; makensis -DVERSION=1.1 -DPACKAGE=DIR -DICON=FILE -DOUTFILE=FILE installer.nsi
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

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

Function .onInit
    SetShellVarContext all
FunctionEnd

Function un.onInit
    SetShellVarContext all
FunctionEnd

Section "Install"
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

Section "Uninstall"
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
