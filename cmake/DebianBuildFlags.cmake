# The compiler and linker flags a Debian package is built with, from dpkg-buildflags: stack
# protector, fortified libc calls, format checks, and a read-only GOT bound at start-up
# (relro with bindnow). The release preset, which the package is made from, turns this on; the
# benchmark builds without it.
#
# The flags go in front of the build type's own, so that the Release -O3 still wins over their
# -O2: the optimisation stays that of every other Release build.

option(ZARN_DEBIAN_BUILDFLAGS "Compile and link with the flags of dpkg-buildflags" OFF)
if(NOT ZARN_DEBIAN_BUILDFLAGS)
  return()
endif()
# _FORTIFY_SOURCE swaps libc calls for checked ones that AddressSanitizer does not intercept.
if(ZARN_SANITIZE OR ZARN_FUZZ OR ZARN_TSAN)
  message(FATAL_ERROR "ZARN_DEBIAN_BUILDFLAGS cannot be combined with the sanitizers")
endif()

find_program(ZARN_DPKG_BUILDFLAGS dpkg-buildflags REQUIRED)
# bindnow is not among Debian's defaults; the caller's DEB_BUILD_MAINT_OPTIONS is replaced so
# that every build gets the same flags. -g is left out: the package is stripped and comes
# without a debug symbol package, and the debug information would slow every build by about a fifth.
# Run from the source directory, the path map writes the sources' paths as relative ones,
# whoever builds where.
function(zarn_debian_flags variable name)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+bindnow
            DEB_CXXFLAGS_MAINT_STRIP=-g ${ZARN_DPKG_BUILDFLAGS} --get ${name}
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE
    COMMAND_ERROR_IS_FATAL ANY)
  set(${variable} "${flags}" PARENT_SCOPE)
endfunction()
zarn_debian_flags(ZARN_DEB_CXXFLAGS CXXFLAGS)
zarn_debian_flags(ZARN_DEB_CPPFLAGS CPPFLAGS)
zarn_debian_flags(ZARN_DEB_LDFLAGS LDFLAGS)
message(STATUS "Debian build flags: ${ZARN_DEB_CXXFLAGS} ${ZARN_DEB_CPPFLAGS}; "
               "linker: ${ZARN_DEB_LDFLAGS}")

set(CMAKE_CXX_FLAGS "${ZARN_DEB_CXXFLAGS} ${ZARN_DEB_CPPFLAGS} ${CMAKE_CXX_FLAGS}")
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS "${ZARN_DEB_LDFLAGS} ${CMAKE_${kind}_LINKER_FLAGS}")
endforeach()
