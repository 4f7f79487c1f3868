# Installation and packages. The version of every package is the one of project() in the top
# CMakeLists.txt; the tool's banner ("Srjoin Ver1.00") is its own text and stays as it is.
#
#   cmake --install build --prefix /opt/srjoin   bin/Srjoin, bin/srjoin (a link to it),
#                                                share/man/man1/Srjoin.1, lib/cmake/Srjoin/...
#   cpack --config build/CPackConfig.cmake       Linux: srjoin_<version>_<arch>.deb
#                                                Windows (MinGW cross build): a .zip
include(GNUInstallDirs)

# The manual page carries the version literally, so that it reads whole where it lies (man -l);
# it is held to the version of project() here, so that the two cannot drift apart.
set(srjoin_man_page ${PROJECT_SOURCE_DIR}/doc/Srjoin.1)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${srjoin_man_page})
file(STRINGS ${srjoin_man_page} srjoin_man_title REGEX "^\\.TH ")
string(REGEX MATCH "\"Srjoin ([^\"]*)\"" srjoin_man_match "${srjoin_man_title}")
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "doc/Srjoin.1 is of version '${CMAKE_MATCH_1}' (its .TH line: "
                      "${srjoin_man_title}), project() of ${PROJECT_VERSION}: give the manual "
                      "page's .TH line \"Srjoin ${PROJECT_VERSION}\".")
endif()

if(WIN32)
  # The zip's top folder holds the exe, the README and the licence; no manual page.
  set(srjoin_bindir .)
  install(TARGETS Srjoin RUNTIME DESTINATION ${srjoin_bindir})
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION .)
else()
  set(srjoin_bindir ${CMAKE_INSTALL_BINDIR})
  install(TARGETS Srjoin RUNTIME DESTINATION ${srjoin_bindir})
  # The package is srjoin and commands are typed in lower case here: `srjoin`, a link beside the
  # tool, runs it too. Where the folder ignores case, srjoin is Srjoin itself and is left alone.
  install(CODE "set(srjoin_bindir [[${CMAKE_INSTALL_BINDIR}]])")
  install(CODE [[
    cmake_path(ABSOLUTE_PATH srjoin_bindir BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}")
    set(srjoin_link "$ENV{DESTDIR}${srjoin_bindir}/srjoin")
    if(IS_SYMLINK "${srjoin_link}" OR NOT EXISTS "${srjoin_link}")
      message(STATUS "Installing: ${srjoin_link} -> Srjoin")
      file(CREATE_LINK Srjoin "${srjoin_link}" SYMBOLIC)
      list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${srjoin_link}")
    else()
      message(STATUS "Not linked: ${srjoin_link} is a file (Srjoin, where case is ignored)")
    endif()
  ]])
  install(FILES ${srjoin_man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  # Debian keeps the licence of a package as /usr/share/doc/<package>/copyright.
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/srjoin)
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/srjoin
          RENAME copyright)
endif()
include(${CMAKE_CURRENT_LIST_DIR}/cmake-package.cmake)

set(SRJOIN_PACKAGE_MAINTAINER "The Srjoin developers <maintainers@srjoin.invalid>"
    CACHE STRING "Maintainer named in the Debian package (\"Name <address>\")")

set(CPACK_PACKAGE_NAME srjoin)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "merge Motorola S-record files into one")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME srjoin-${PROJECT_VERSION}-win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # srjoin_<version>_<arch>.deb; arch from dpkg
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${SRJOIN_PACKAGE_MAINTAINER}")
  set(CPACK_DEBIAN_PACKAGE_SECTION devel)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # Depends from dpkg-shlibdeps
  # The first line of the description is the summary above; this is the rest.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "Srjoin copies every line of its input files, in list order, into one output
file, keeps only the last termination record (S7, S8 or S9) and writes it as
the last line. Files are written with CR LF line breaks; the console messages
are Japanese in Shift-JIS.")
  # Debian keeps manual pages gzip-compressed; `cmake --install` leaves them plain.
  file(WRITE ${PROJECT_BINARY_DIR}/compress-man-pages.cmake [=[
file(GLOB_RECURSE pages "${CPACK_TEMPORARY_DIRECTORY}/*.1")
foreach(page IN LISTS pages)
  execute_process(COMMAND gzip -9n "${page}" COMMAND_ERROR_IS_FATAL ANY)
endforeach()
]=])
  set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_BINARY_DIR}/compress-man-pages.cmake)
endif()

include(CPack)
