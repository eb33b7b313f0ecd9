# What a package holds besides the commands, and CPack's settings for make
# package: a Debian package from a native build, a zip from a Windows one.
# Every file made here is made at configure time, into the build folder.

# The address is a placeholder (example.org is reserved for that) until the
# project has one of its own.
set(GRIDPORT_PACKAGE_MAINTAINER "the gridport developers <gridport@example.org>"
    CACHE STRING "The Maintainer field of the Debian package and its changelog")
set(package_files ${PROJECT_BINARY_DIR}/package)
file(MAKE_DIRECTORY ${package_files})
set(summary "converts tile maps (MAP files with VSP or RTS tilesets) into RMP map files")

if(WIN32)
  # Windows readers get text files with CRLF line ends, by names they open.
  foreach(pair README.md:README.txt LICENSE:LICENSE.txt CHANGELOG.md:CHANGELOG.txt)
    string(REPLACE ":" ";" pair ${pair})
    list(GET pair 0 from)
    list(GET pair 1 to)
    file(READ ${PROJECT_SOURCE_DIR}/${from} text)
    string(REPLACE "\r\n" "\n" text "${text}")
    string(REPLACE "\n" "\r\n" text "${text}")
    file(WRITE ${package_files}/${to} "${text}")
    install(FILES ${package_files}/${to} DESTINATION .)
  endforeach()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
               ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/CHANGELOG.md)
  set(CPACK_GENERATOR ZIP)
else()
  # Debian's forms: the licence as the machine-readable copyright file, the
  # changelog of a native package and the manual pages gzipped without a time
  # stamp.
  set(doc ${CMAKE_INSTALL_DATAROOTDIR}/doc/${PROJECT_NAME})
  file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE license_lines)
  list(REMOVE_AT license_lines 0 1 2 3)  # the title, the copyright line and the blank lines around it
  set(license "")
  foreach(line IN LISTS license_lines)
    if(line STREQUAL "")
      string(APPEND license " .\n")
    else()
      string(APPEND license " ${line}\n")
    endif()
  endforeach()
  file(WRITE ${package_files}/copyright
    "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
    "Upstream-Name: ${PROJECT_NAME}\n\n"
    "Files: *\n"
    "Copyright: 2026 the gridport developers\n"
    "License: Expat\n"
    "${license}")
  configure_file(${PROJECT_SOURCE_DIR}/cmake/debian-changelog.in ${package_files}/changelog @ONLY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
  install(FILES ${package_files}/copyright ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${doc})
  find_program(GRIDPORT_GZIP gzip)
  if(GRIDPORT_GZIP)
    execute_process(COMMAND ${GRIDPORT_GZIP} -9nc ${package_files}/changelog
                    OUTPUT_FILE ${package_files}/changelog.gz COMMAND_ERROR_IS_FATAL ANY)
    install(FILES ${package_files}/changelog.gz DESTINATION ${doc})
    foreach(page IN LISTS GRIDPORT_MAN_PAGES)
      execute_process(COMMAND ${GRIDPORT_GZIP} -9nc ${PROJECT_BINARY_DIR}/man/${page}.1
                      OUTPUT_FILE ${PROJECT_BINARY_DIR}/man/${page}.1.gz COMMAND_ERROR_IS_FATAL ANY)
      install(FILES ${PROJECT_BINARY_DIR}/man/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endforeach()
  else()
    install(FILES ${package_files}/changelog DESTINATION ${doc})
    list(TRANSFORM GRIDPORT_MAN_PAGES REPLACE "(.+)" "${PROJECT_BINARY_DIR}/man/\\1.1" OUTPUT_VARIABLE pages)
    install(FILES ${pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
  set(CPACK_GENERATOR DEB)
endif()

set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the gridport developers")
set(CPACK_PACKAGE_CONTACT ${GRIDPORT_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY ${summary})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_GENERATOR "")
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "gridport converts a MAP file, version 1 or 2, and its VSP or RTS tileset
into an RMP map file with the tileset embedded, writing the output only when
it is complete. gridport-batch converts whole folders of maps on worker
threads; mapview and rmpview check MAP and RMP files and draw them into PNG
pictures.")
# The package's Depends from the libraries the commands load (libpng, the C
# and C++ runtimes), as dpkg-shlibdeps finds them, or named without it. zlib
# is named either way: the pictures are zlib's streams, though only libpng
# calls it.
find_program(GRIDPORT_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(GRIDPORT_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "zlib1g")
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6, libpng16-16, zlib1g")
endif()
include(CPack)
