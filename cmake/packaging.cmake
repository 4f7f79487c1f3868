# Installation and packages. The version of every package is the one of project() in the top
# CMakeLists.txt; the tool's banner ("Srjoin Ver1.00") is its own text and stays as it is.
#
#   cmake --install build --prefix /opt/srjoin   bin/Srjoin, bin/Srcheck, bin/srjoin and
#                                                bin/srcheck (links to them), their pages in
#                                                share/man/man1, lib/cmake/Srjoin/...
#   cpack --config build/CPackConfig.cmake       Linux: srjoin_<version>_<arch>.deb
#                                                Windows (MinGW cross build): a .zip
include(GNUInstallDirs)

# The manual pages and the changelog carry the version literally, so that they read whole where
# they lie (man -l); they are held to the version of project() here, so that they cannot drift
# apart. srjoin_check_version(FILE LINE_REGEX VERSION_REGEX): the first line of FILE matching
# LINE_REGEX must name PROJECT_VERSION where VERSION_REGEX's group is.
function(srjoin_check_version file line_regex version_regex)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
  file(STRINGS ${file} line REGEX "${line_regex}" LIMIT_COUNT 1)
  string(REGEX MATCH "${version_regex}" match "${line}")
  if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
    message(FATAL_ERROR "${file} is of version '${CMAKE_MATCH_1}' (its line: ${line}), "
                        "project() of ${PROJECT_VERSION}: make them agree.")
  endif()
endfunction()
set(srjoin_man_pages ${PROJECT_SOURCE_DIR}/doc/Srjoin.1 ${PROJECT_SOURCE_DIR}/doc/Srcheck.1)
srjoin_check_version(${PROJECT_SOURCE_DIR}/doc/Srjoin.1 "^\\.TH " "\"Srjoin ([^\"]*)\"")
srjoin_check_version(${PROJECT_SOURCE_DIR}/doc/Srcheck.1 "^\\.TH " "\"Srcheck ([^\"]*)\"")
# Debian's changelog format, as a native package has it (Debian: /usr/share/doc/srjoin/).
set(srjoin_changelog ${PROJECT_SOURCE_DIR}/doc/changelog)
srjoin_check_version(${srjoin_changelog} "^srjoin " "^srjoin \\(([^)]*)\\)")

if(WIN32)
  # The zip's top folder holds the exes, the README and the licence; no manual page.
  set(srjoin_bindir .)
  install(TARGETS Srjoin Srcheck RUNTIME DESTINATION ${srjoin_bindir})
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION .)
else()
  set(srjoin_bindir ${CMAKE_INSTALL_BINDIR})
  install(TARGETS Srjoin Srcheck RUNTIME DESTINATION ${srjoin_bindir})
  install(FILES ${srjoin_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  # The package is srjoin and commands are typed in lower case here: `srjoin`, a link beside the
  # tool, runs it too, and `man srjoin`, a link beside the page, shows the page; the same for
  # Srcheck. Where the folder ignores case, the lower-case name is the file itself and is left
  # alone.
  set(srjoin_links ${CMAKE_INSTALL_BINDIR}/srjoin ${CMAKE_INSTALL_MANDIR}/man1/srjoin.1
                   ${CMAKE_INSTALL_BINDIR}/srcheck ${CMAKE_INSTALL_MANDIR}/man1/srcheck.1)
  install(CODE "set(srjoin_links [[${srjoin_links}]])")
  install(CODE [[
    foreach(srjoin_link IN LISTS srjoin_links)
      cmake_path(ABSOLUTE_PATH srjoin_link BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}")
      cmake_path(GET srjoin_link FILENAME srjoin_name)
      string(SUBSTRING "${srjoin_name}" 0 1 srjoin_initial)
      string(SUBSTRING "${srjoin_name}" 1 -1 srjoin_rest)
      string(TOUPPER "${srjoin_initial}" srjoin_initial)
      set(srjoin_target "${srjoin_initial}${srjoin_rest}")
      set(srjoin_link "$ENV{DESTDIR}${srjoin_link}")
      if(IS_SYMLINK "${srjoin_link}" OR NOT EXISTS "${srjoin_link}")
        message(STATUS "Installing: ${srjoin_link} -> ${srjoin_target}")
        file(CREATE_LINK ${srjoin_target} "${srjoin_link}" SYMBOLIC)
        list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${srjoin_link}")
      else()
        message(STATUS "Not linked: ${srjoin_link} is a file "
                       "(${srjoin_target}, where case is ignored)")
      endif()
    endforeach()
  ]])
  # Debian keeps the licence of a package as /usr/share/doc/<package>/copyright.
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${srjoin_changelog}
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/srjoin)
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
are Japanese in Shift-JIS. Srcheck checks the same list beforehand, as Srjoin
would merge it: each record, the termination records, the count records and the
addresses given twice, one line a finding, and a summary of the image.")
  # Debian keeps manual pages and the changelog gzip-compressed (-n: no name or time stamp in
  # them), a link to a page pointing to the compressed page; `cmake --install` leaves them plain.
  file(WRITE ${PROJECT_BINARY_DIR}/compress-docs.cmake [=[
file(GLOB_RECURSE files LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*.1"
     "${CPACK_TEMPORARY_DIRECTORY}/changelog")
foreach(file IN LISTS files)
  if(IS_SYMLINK "${file}")
    file(READ_SYMLINK "${file}" target)
    file(REMOVE "${file}")
    file(CREATE_LINK "${target}.gz" "${file}.gz" SYMBOLIC)
  else()
    execute_process(COMMAND gzip -9n "${file}" COMMAND_ERROR_IS_FATAL ANY)
  endif()
endforeach()
]=])
  set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_BINARY_DIR}/compress-docs.cmake)
endif()

include(CPack)
