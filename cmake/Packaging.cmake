# What a Debian system expects beside the two programs (man pages, bash completion, the
# copyright file) and the .deb that `cpack -G DEB` makes of it all from the release build.

set(ZARN_PACKAGING_SOURCE ${PROJECT_SOURCE_DIR}/packaging)
set(ZARN_PACKAGING_BINARY ${PROJECT_BINARY_DIR}/packaging)
find_program(ZARN_GZIP gzip REQUIRED)

# The man pages carry the project version; they are compressed as Debian ships them, without
# a name or time stamp in the gzip header so that a rebuild gives the same bytes.
set(ZARN_MAN_PAGES zarn1-ps-convert)
if(ZARN_BUILD_UI)
  list(APPEND ZARN_MAN_PAGES zarn1-ps-repair)
endif()
set(ZARN_MAN_FILES)
foreach(page ${ZARN_MAN_PAGES})
  set(man ${ZARN_PACKAGING_BINARY}/man/${page}.1)
  configure_file(${ZARN_PACKAGING_SOURCE}/man/${page}.1.in ${man} @ONLY)
  add_custom_command(OUTPUT ${man}.gz
    COMMAND ${ZARN_GZIP} -9 -n -k -f ${man}
    DEPENDS ${man} VERBATIM)
  list(APPEND ZARN_MAN_FILES ${man}.gz)
endforeach()
add_custom_target(zarn_man_pages ALL DEPENDS ${ZARN_MAN_FILES})

install(FILES ${ZARN_MAN_FILES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${ZARN_PACKAGING_SOURCE}/completion/zarn1-ps-convert
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES ${ZARN_PACKAGING_SOURCE}/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zarn1-ps-repair)

set(ZARN_PACKAGE_MAINTAINER "ZARN1 PS repair developers <zarn1-ps-repair@example.org>"
    CACHE STRING "The Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zarn1-ps-repair)
set(CPACK_PACKAGE_VENDOR "ZARN1 PS repair developers")
set(CPACK_PACKAGE_CONTACT ${ZARN_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "repair Zarn1 PostScript print files for phototypesetters and EPS")
set(CPACK_PACKAGE_DESCRIPTION_FILE ${ZARN_PACKAGING_SOURCE}/description)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Directories as Debian has them, whatever the umask of the one who builds.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# zarn1-ps-repair_<version>_amd64.deb, with the library dependencies read from the binaries:
# libcups2, which both programs hand print jobs to, among them, with the version they need.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its display plugins at run time, where the library scan cannot see them. The window
# opens its log with xdg-open: without it every drop ends in "no text viewer could be started".
if(ZARN_BUILD_UI)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, xdg-utils")
endif()
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# An interpreter to look at the output, and the face the window is laid out in.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "ghostscript, fonts-dejavu-extra")

include(CPack)
