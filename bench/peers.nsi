; The peer installer for the benchmark: NSIS with LZMA solid compression,
; installing the same payload folder and writing an uninstall entry, as a
; conventional installer of the product would.
; makensis -DPAYLOAD=<folder> -DOUTFILE=<exe> peers.nsi (an x86 installer, as ours)
Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin
Name "KelvoAI云盘同步版"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Kelvo\Kelvopeltbox"
ShowInstDetails nevershow
SilentInstall normal

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\KelvoPeerNsis"

Page directory
Page instfiles

Section "Product"
  SetOutPath "$INSTDIR"
  File /r "${PAYLOAD}\*.*"
  WriteUninstaller "$INSTDIR\peer-uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "KelvoAI云盘同步版"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" "$INSTDIR\peer-uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\KelvoCloudEnterpriseSync.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Kelvo"
SectionEnd

Section "Uninstall"
  RMDir /r "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
