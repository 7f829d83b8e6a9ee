# What `cmake --install` puts in place and what the Debian package holds: the three programs,
# the desktop entry and the icon. Libraries, tests and benchmarks stay in the build folder.
include(GNUInstallDirs)

install(TARGETS zelbrin-client zelbrin-relaunch zelbrin-send
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/resources/zelbrin-client.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# printer.png is 64 x 64 pixels; the theme folder must name its real size.
install(FILES ${PROJECT_SOURCE_DIR}/resources/printer.png
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/64x64/apps
  RENAME zelbrin-client.png)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zelbrin-client)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Zelbrin Client developers <dev@kestrova.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Print from a remote desktop session on local printers")
# CPack puts the summary in front of this and indents it for the control file.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "A tray agent for people who work in a Windows remote-desktop
session: it takes the print, save and open jobs that the session hands over
through the clipboard or the redirected folder and carries them out on this
computer, printing through CUPS.")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The build keeps debug info (12 MB for the agent); the package does not need it.
set(CPACK_STRIP_FILES ON)
# Depends comes from dpkg-shlibdeps: the libraries the programs really link.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Used at run time without being linked: a CUPS scheduler to print on, GVfs (with its SMB
# backend and FUSE paths) for files on Windows shares, xdg-open behind opening documents.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "cups, gvfs, gvfs-backends, gvfs-fuse, xdg-utils")
include(CPack)
