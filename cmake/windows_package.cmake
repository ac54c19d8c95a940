# What a Windows user downloads, made by CPack from the install rules below
# (scripts/package runs it for both builds), into build/PRESET/packages:
#   SyncBolvarin-VERSION-win32.zip / -win64.zip: the conduit, the host and
#     the README in one folder;
#   SyncBolvarin-VERSION-win32.exe / -win64.exe: an NSIS installer that puts
#     the same files into Program Files, registers the conduit with regsvr32
#     and writes an uninstaller that unregisters it and removes every file,
#     folder and registry key the installer made. The 32-bit one is the
#     product: it serves a 32-bit sync manager.
# The binaries are the stripped ones of bin/ (cmake/split_debug_info.cmake);
# their .debug files stay in the build folder. BolvarinStandIn.dll, which
# stands in for the sync manager's platform library, is not shipped: on a
# user's machine the sync manager serves those classes, and the stand-in
# would only be in the way of them.

# Flat, as in bin/: the host finds the conduit beside it.
install(TARGETS SyncBolvarin syncbolvarin RUNTIME DESTINATION .)
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION .)

# No licence has been chosen for the project yet. Once there is one, point
# this at it: it is shipped as LICENSE.txt and the installer shows it.
set(BOLVARIN_LICENSE_FILE "" CACHE FILEPATH "Licence file to ship in the packages (none yet)")
if(BOLVARIN_LICENSE_FILE)
  install(FILES ${BOLVARIN_LICENSE_FILE} DESTINATION . RENAME LICENSE.txt)
  set(CPACK_RESOURCE_FILE_LICENSE ${BOLVARIN_LICENSE_FILE})
else()
  # CPack's default licence page would show a placeholder text.
  set(CPACK_NSIS_IGNORE_LICENSE_PAGE ON)
endif()

# cpack installs what is built and builds nothing itself (by default it would
# build every target, the tests included, first): scripts/package builds the
# shipped targets before it.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_PACKAGE_NAME SyncBolvarin)
set(CPACK_PACKAGE_VENDOR SyncBolvarin)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Synchronisation conduit between a handheld ledger and desktop text files")
set(CPACK_PACKAGE_INSTALL_DIRECTORY SyncBolvarin)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY SyncBolvarin)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
# The NSIS commands below reach the installer script as written.
set(CPACK_VERBATIM_VARIABLES ON)

set(CPACK_GENERATOR ZIP NSIS)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  # The 64-bit build's installer is a 64-bit program: it installs into the
  # 64-bit Program Files and registers in the 64-bit registry view.
  set(nsis_target "Target amd64-unicode")
else()
  # A Unicode installer, like the 64-bit one: paths in any language.
  set(nsis_target "Unicode true")
endif()
# CPack's uninstaller removes the key Software\VENDOR\SyncBolvarin, where the
# installer keeps its folder, but not the vendor's key above it: that goes
# once the uninstallation is done, when nothing else is left in it.
set(CPACK_NSIS_DEFINES "${nsis_target}
Function un.onUninstSuccess
  DeleteRegKey /ifempty SHCTX \"Software\\${CPACK_PACKAGE_VENDOR}\"
FunctionEnd")

# $SYSDIR is the system folder of the installer's own architecture, so the
# regsvr32 there registers the DLL of the same architecture in the registry
# view that a sync manager of that architecture reads. A failed registration
# stops the installation with a message; the files stay, with the
# uninstaller that removes them.
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS [[
  ExecWait '"$SYSDIR\regsvr32.exe" /s "$INSTDIR\SyncBolvarin.dll"' $0
  StrCmp $0 0 conduit_registered
    MessageBox MB_OK|MB_ICONSTOP "SyncBolvarin.dll could not be registered (regsvr32 exit code $0)." /SD IDOK
    Abort
  conduit_registered:
]])
# Unregistering removes every key registration wrote (class, ProgID, type
# library); it runs before the DLL is deleted.
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS [[
  ExecWait '"$SYSDIR\regsvr32.exe" /s /u "$INSTDIR\SyncBolvarin.dll"'
]])
# Installing over an earlier installation uninstalls that one first.
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)

include(CPack)
