# The Windows installer, made by CPack's NSIS generator on Linux: Program
# Files\LK24, the Start-menu entry "LK24 Konfiguration" beside the
# uninstaller, an optional desktop shortcut, the entry in Windows' list of
# installed programs, and a silent mode (/S) for IT departments. The
# uninstaller removes what was installed, never the user's Documents\LK24.
# Needs LK24_ICON and LK24_PUBLISHER (Lk24Windows.cmake).
set(CPACK_GENERATOR NSIS)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_NAME LK24)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "${LK24_PUBLISHER}")
set(CPACK_PACKAGE_FILE_NAME LK24-${PROJECT_VERSION}-win64-setup)
set(CPACK_PACKAGE_INSTALL_DIRECTORY LK24)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY LK24)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_PACKAGE_NAME "LK24 Konfiguration")
set(CPACK_NSIS_DISPLAY_NAME "LK24 Konfiguration ${PROJECT_VERSION}")
set(CPACK_NSIS_MUI_ICON ${LK24_ICON})
set(CPACK_NSIS_MUI_UNIICON ${LK24_ICON})
set(CPACK_NSIS_INSTALLED_ICON_NAME LK24.exe)
set(CPACK_NSIS_URL_INFO_ABOUT "https://www.example.com/")
set(CPACK_NSIS_CONTACT "info@example.com")
# A second installation over the first is an update, not a second entry.
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
# The script's German texts are UTF-8.
set(CPACK_NSIS_EXECUTABLE_PRE_ARGUMENTS "INPUTCHARSET UTF8")
# PATH stays as it is: the installer's page that would change it cuts a long
# PATH short, and lk24ctl.exe is called by its folder.
set(CPACK_NSIS_MODIFY_PATH OFF)

# The Start-menu entry starts the window in the user's Documents\LK24; the
# shortcut's working folder is the program's own (NSIS takes the output
# path). CPack copies these texts into a CMake string: so single quotes, and
# each backslash doubled.
set(CPACK_NSIS_CREATE_ICONS_EXTRA [=[
  SetOutPath '$INSTDIR'
  CreateShortCut '$SMPROGRAMS\$STARTMENU_FOLDER\LK24 Konfiguration.lnk' '$INSTDIR\LK24.exe' '--user-folder' '$INSTDIR\LK24.exe' 0
]=])
set(CPACK_NSIS_DELETE_ICONS_EXTRA [=[
  Delete '$SMPROGRAMS\$MUI_TEMP\LK24 Konfiguration.lnk'
  Delete '$DESKTOP\LK24 Konfiguration.lnk'
]=])
# 64-bit (CPack's default is a 32-bit installer, which a 64-bit-only Wine
# cannot start), and the desktop shortcut as a choice on the last page (left
# out of a silent installation).
set(CPACK_NSIS_DEFINES [=[
Target amd64-unicode
!define MUI_STARTMENUPAGE_DEFAULTFOLDER 'LK24'
!define MUI_FINISHPAGE_SHOWREADME
!define MUI_FINISHPAGE_SHOWREADME_TEXT 'Verknüpfung auf dem Desktop anlegen'
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!define MUI_FINISHPAGE_SHOWREADME_FUNCTION CreateDesktopShortcut
Function CreateDesktopShortcut
  SetOutPath '$INSTDIR'
  CreateShortCut '$DESKTOP\LK24 Konfiguration.lnk' '$INSTDIR\LK24.exe' '--user-folder' '$INSTDIR\LK24.exe' 0
FunctionEnd
]=])
include(CPack)
