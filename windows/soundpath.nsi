; The Windows installer: the files of the zip, a Start-menu shortcut, an entry in Apps & features,
; and an uninstaller that removes all of it. Built by scripts/build-windows.sh with Debian's NSIS:
;   makensis -DVERSION=x.y.z -DSTAGE=<folder of the zip's files> -DICON=<soundpath.ico>
;            -DOUTFILE=<installer> soundpath.nsi
;
; Installed for the current user only, in %LOCALAPPDATA%\Programs\soundpath: a sound toy that
; writes nothing needs no administrator, so installing it asks for no elevation, and each user
; can add or remove it without anyone else.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware false

!define KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\soundpath"

Name "soundpath"
OutFile "${OUTFILE}"
Icon "${ICON}"
UninstallIcon "${ICON}"
InstallDir "$LOCALAPPDATA\Programs\soundpath"
InstallDirRegKey HKCU "${KEY}" "InstallLocation"
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "soundpath"
VIAddVersionKey "FileDescription" "soundpath installer"
VIAddVersionKey "CompanyName" "the soundpath developers"
VIAddVersionKey "LegalCopyright" "Copyright (c) the soundpath developers; MIT licence"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File "${STAGE}\soundpath.exe"
  File "${STAGE}\crosshair.bmp"
  File "${STAGE}\sound.wav"
  File "${STAGE}\README.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ; The shortcut starts the program in its own folder, where its files are.
  CreateShortcut "$SMPROGRAMS\soundpath.lnk" "$INSTDIR\soundpath.exe" "" "$INSTDIR\soundpath.exe" 0

  WriteRegStr HKCU "${KEY}" "DisplayName" "soundpath"
  WriteRegStr HKCU "${KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${KEY}" "DisplayIcon" "$INSTDIR\soundpath.exe,0"
  WriteRegStr HKCU "${KEY}" "Publisher" "the soundpath developers"
  WriteRegStr HKCU "${KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${KEY}" "NoRepair" 1
  WriteRegDWORD HKCU "${KEY}" "EstimatedSize" ${SIZE_KB}
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  Delete "$SMPROGRAMS\soundpath.lnk"
  Delete "$INSTDIR\soundpath.exe"
  Delete "$INSTDIR\crosshair.bmp"
  Delete "$INSTDIR\sound.wav"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${KEY}"
SectionEnd
