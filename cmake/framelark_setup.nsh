; Framelark's own part of the setup program, included near the top of cpack's NSIS script.
; FRAMELARK_VERSION and FRAMELARK_PUBLISHER are defined before.

; A 64-bit installer where makensis has the stubs (Debian's has): Wine's 64-bit loader runs no 32-bit
; program. NSIS's Windows release has only 32-bit stubs, whose installers 64-bit Windows runs.
!if /FileExists "${NSISDIR}/Stubs/lzma-amd64-unicode"
  Target amd64-unicode
!else
  Unicode true
!endif

VIProductVersion "${FRAMELARK_VERSION}.0"
VIFileVersion "${FRAMELARK_VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "Framelark"
VIAddVersionKey /LANG=1033 "CompanyName" "${FRAMELARK_PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "Framelark Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${FRAMELARK_VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${FRAMELARK_VERSION}"

; One Start-menu folder for every version.
!define MUI_STARTMENUPAGE_DEFAULTFOLDER "Framelark"

!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start Framelark"
!define MUI_FINISHPAGE_RUN_FUNCTION StartFramelark

; Started by the elevated installer, Framelark would run elevated too, find its folder writable and
; keep settings and movies there: the shell starts it as the user instead. Wine has no elevation,
; and its explorer opens no programs.
Function StartFramelark
  ClearErrors
  EnumRegKey $0 HKLM "Software\Wine" 0
  IfErrors 0 wine
    Exec '"$WINDIR\explorer.exe" "$INSTDIR\framelark.exe"'
    Return
  wine:
    Exec '"$INSTDIR\framelark.exe"'
FunctionEnd
