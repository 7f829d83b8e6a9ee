# What `cmake --install` puts in place and what the Debian package holds: the two programs a user
# runs, their manual pages, the relaunch helper (run only by the agent), the desktop entry, the
# icons, the AppStream metainfo, the copyright file and the changelog. Libraries, tests and
# benchmarks stay in the build folder.
include(GNUInstallDirs)

set(packaging ${PROJECT_SOURCE_DIR}/packaging)
set(generated ${CMAKE_CURRENT_BINARY_DIR}/packaging)
set(docdir ${CMAKE_INSTALL_DATADIR}/doc/zelbrin-client)

install(TARGETS zelbrin-client zelbrin-send RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The agent looks for it here (src/platform/CMakeLists.txt gives it the same folder).
install(TARGETS zelbrin-relaunch RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/zelbrin-client)

# The package's version follows the newest entry of packaging/changelog: its upstream part must be
# the project's version, and its Debian revision becomes the package's. The date of that entry is
# the release date in the AppStream metainfo.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${packaging}/changelog)
file(STRINGS ${packaging}/changelog changelog_head LIMIT_COUNT 1)
if(NOT changelog_head MATCHES "^zelbrin-client \\(([^ )]+)-([0-9A-Za-z.+~]+)\\) ")
  message(FATAL_ERROR "packaging/changelog: the first line names no version UPSTREAM-REVISION")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "packaging/changelog's newest entry is for ${CMAKE_MATCH_1}, the project "
                      "is at ${PROJECT_VERSION}: add an entry for ${PROJECT_VERSION}-1")
endif()
set(CPACK_DEBIAN_PACKAGE_RELEASE ${CMAKE_MATCH_2})
set(ZELBRIN_DEB_VERSION ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})
file(STRINGS ${packaging}/changelog changelog_trailer LIMIT_COUNT 1
  REGEX "^ -- .*  [A-Z][a-z][a-z], [0-9]+ [A-Z][a-z][a-z] [0-9]+ ")
if(NOT changelog_trailer MATCHES ", ([0-9]+) ([A-Z][a-z][a-z]) ([0-9]+) ")
  message(FATAL_ERROR "packaging/changelog: the newest entry has no trailer line with a date")
endif()
set(year ${CMAKE_MATCH_3})
set(day ${CMAKE_MATCH_1})
set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(FIND months ${CMAKE_MATCH_2} month)
math(EXPR month "${month} + 1")
foreach(part month day)
  string(REGEX REPLACE "^0+" "" ${part} ${${part}})
  if(${part} LESS 10)
    set(${part} 0${${part}})
  endif()
endforeach()
set(ZELBRIN_RELEASE_DATE ${year}-${month}-${day})

configure_file(${packaging}/com.kestrova.ZelbrinClient.metainfo.xml.in
  ${generated}/com.kestrova.ZelbrinClient.metainfo.xml @ONLY)
install(FILES ${generated}/com.kestrova.ZelbrinClient.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Debian wants the changelog and the manual pages compressed, without a time stamp (-n) so that
# the same sources give the same package.
set(compressed)
foreach(source changelog man/zelbrin-client.1 man/zelbrin-send.1)
  get_filename_component(name ${source} NAME)
  add_custom_command(OUTPUT ${generated}/${name}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${generated}
    COMMAND gzip -9n --stdout ${packaging}/${source} > ${generated}/${name}.gz
    DEPENDS ${packaging}/${source}
    VERBATIM)
  list(APPEND compressed ${generated}/${name}.gz)
endforeach()
add_custom_target(zelbrin-package-files ALL DEPENDS ${compressed})
install(FILES ${generated}/changelog.gz DESTINATION ${docdir} RENAME changelog.Debian.gz)
install(FILES ${packaging}/copyright DESTINATION ${docdir})
install(FILES ${generated}/zelbrin-client.1.gz ${generated}/zelbrin-send.1.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(FILES ${PROJECT_SOURCE_DIR}/resources/zelbrin-client.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The PNGs are drawn from the SVG by packaging/icons/render.sh and kept in the repository, so the
# build needs no SVG renderer; each sits in the theme folder of its real size.
foreach(size 16 22 24 32 48 64 128 256)
  install(FILES ${packaging}/icons/${size}x${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
    RENAME zelbrin-client.png)
endforeach()
install(FILES ${packaging}/icons/zelbrin-client.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

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
# qt6-translations-l10n: Qt's own dialogs (print, save) in the user's language.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "cups, gvfs, gvfs-backends, gvfs-fuse, xdg-utils, qt6-translations-l10n")
include(CPack)
