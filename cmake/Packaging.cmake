# What a Debian system expects beside the two programs (man pages, bash completion, the hot
# folder's user service, the copyright file, the changelog) and the .deb that `cpack -G DEB`
# makes of it all from the release build.

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
# The hot folder as a systemd user service, the folder its instance. systemd wants the program's
# full path, which is known only when installing (the package installs to /usr).
install(CODE "
  set(ZARN_PROGRAM \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/zarn1-ps-convert\")
  configure_file(\"${ZARN_PACKAGING_SOURCE}/systemd/zarn1-ps-hotfolder@.service.in\"
                 \"${ZARN_PACKAGING_BINARY}/systemd/zarn1-ps-hotfolder@.service\" @ONLY)
  file(INSTALL \"${ZARN_PACKAGING_BINARY}/systemd/zarn1-ps-hotfolder@.service\"
       DESTINATION \"\${CMAKE_INSTALL_PREFIX}/lib/systemd/user\"
       PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)")
install(FILES ${ZARN_PACKAGING_SOURCE}/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zarn1-ps-repair)

# The changelog, in Debian's format and compressed as the man pages are. The package is made
# by the project itself, with no separate upstream, so Debian names it changelog.gz, not
# changelog.Debian.gz. Its newest entry carries the project version; the package test holds them
# to each other.
set(ZARN_CHANGELOG ${ZARN_PACKAGING_BINARY}/changelog)
configure_file(${ZARN_PACKAGING_SOURCE}/changelog ${ZARN_CHANGELOG} COPYONLY)
add_custom_command(OUTPUT ${ZARN_CHANGELOG}.gz
  COMMAND ${ZARN_GZIP} -9 -n -k -f ${ZARN_CHANGELOG}
  DEPENDS ${ZARN_CHANGELOG} VERBATIM)
add_custom_target(zarn_changelog ALL DEPENDS ${ZARN_CHANGELOG}.gz)
install(FILES ${ZARN_CHANGELOG}.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zarn1-ps-repair)
# What lintian reports on purpose (the reasons are in the file).
install(FILES ${ZARN_PACKAGING_SOURCE}/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME zarn1-ps-repair)

# A stripped install (the package's) also drops the sections that strip leaves in and Debian
# does not ship: .comment (the compilers' version strings) and .note. These rules run after
# those of cli/ and app/, which install the programs.
set(ZARN_PROGRAMS ${CMAKE_INSTALL_BINDIR}/zarn1-ps-convert)
if(ZARN_BUILD_UI)
  list(APPEND ZARN_PROGRAMS ${CMAKE_INSTALL_LIBEXECDIR}/zarn1-ps-repair/zarn1-ps-repair)
endif()
install(CODE "set(zarn_programs \"${ZARN_PROGRAMS}\")\nset(zarn_strip \"${CMAKE_STRIP}\")")
install(CODE [[
  if(CMAKE_INSTALL_DO_STRIP)
    foreach(program IN LISTS zarn_programs)
      set(path "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${program}")
      if(NOT EXISTS "${path}")
        message(FATAL_ERROR "no program installed at ${path}")
      endif()
      execute_process(COMMAND "${zarn_strip}" --remove-section=.comment --remove-section=.note
                              "${path}" COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
  endif()
]])

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
