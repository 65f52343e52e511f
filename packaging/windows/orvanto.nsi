; The Windows installer: the program folder that the build's `deploy`
; target lays out, installed to Program Files with a Start-menu entry and
; an uninstaller; optionally the stand-in gadgets in the gadgets folder.
; makensis gets VERSION, DEPLOY (the deploy folder), GADGETS (an include
; that copies the stand-in under each gadget's name) and OUTFILE.
; A 64-bit installer for the 64-bit program: it also runs where only 64-bit
; programs run (and Program Files is the 64-bit one).
Target amd64-unicode
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "Sections.nsh"

Name "Orvanto"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Orvanto"
InstallDirRegKey HKLM "Software\Morvelt\Orvanto" "InstallDir"
RequestExecutionLevel admin
BrandingText "Orvanto ${VERSION}"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvanto"
!define GADGETS_DIR "C:\Morvelt\Gadgets VUX"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "PortugueseBR"


Section "Orvanto" SecProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  File /r "${DEPLOY}\*.*"
  WriteUninstaller "$INSTDIR\Desinstalar.exe"
  WriteRegStr HKLM "Software\Morvelt\Orvanto" "InstallDir" "$INSTDIR"

  SetShellVarContext all
  CreateDirectory "$SMPROGRAMS\Orvanto"
  CreateShortcut "$SMPROGRAMS\Orvanto\Orvanto.lnk" "$INSTDIR\orvanto.exe"
  CreateShortcut "$SMPROGRAMS\Orvanto\Desinstalar o Orvanto.lnk" "$INSTDIR\Desinstalar.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Orvanto"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Morvelt"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\orvanto.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Desinstalar.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Desinstalar.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Off by default: an installation's own gadgets live in that folder, so it
; is only filled when it does not exist yet.
Section /o "Gadgets de demonstração em ${GADGETS_DIR}" SecGadgets
  IfFileExists "${GADGETS_DIR}\*.*" gadgetsFolderExists
  SetOutPath "${GADGETS_DIR}"
  ; Each stand-in loads the same libraries as the program, from its folder.
  File /r /x "orvanto.exe" /x "orvanto-gadget.exe" "${DEPLOY}\*.*"
  !include "${GADGETS}"
  Goto gadgetsDone
  gadgetsFolderExists:
  DetailPrint "A pasta ${GADGETS_DIR} já existe: nenhuma gadget de demonstração foi copiada."
  gadgetsDone:
SectionEnd

Function .onInit
  ; "/GADGETS" selects the demo gadgets (for silent installs with /S).
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/GADGETS" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecGadgets}
  ${EndIf}
FunctionEnd

Section "Uninstall"
  ; Only what the installer put there; the settings file and the gadgets
  ; folder belong to the installation and stay.
  Delete "$INSTDIR\Desinstalar.exe"
  RMDir /r "$INSTDIR"
  SetShellVarContext all
  Delete "$SMPROGRAMS\Orvanto\Orvanto.lnk"
  Delete "$SMPROGRAMS\Orvanto\Desinstalar o Orvanto.lnk"
  RMDir "$SMPROGRAMS\Orvanto"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "Software\Morvelt\Orvanto"
  DeleteRegKey /ifempty HKLM "Software\Morvelt"
SectionEnd
