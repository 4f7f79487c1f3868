# The CMake package that find_package(Srjoin) finds: the imported executables Srjoin::Srjoin and
# Srjoin::Srcheck and srjoin_merge() (SrjoinConfig.cmake.in), its build step (SrjoinMergeStep.cmake) and the version
# file. Installed in lib/cmake/Srjoin, which find_package searches under a prefix on every
# platform (Debian's multiarch lib folders included); the config finds the tool relative to
# itself, so an installed tree can be moved. Included by packaging.cmake, which sets
# srjoin_bindir.
include(CMakePackageConfigHelpers)

set(srjoin_cmake_dir lib/cmake/Srjoin)
set(SRJOIN_BINDIR ${srjoin_bindir})
configure_package_config_file(
  ${CMAKE_CURRENT_LIST_DIR}/SrjoinConfig.cmake.in ${PROJECT_BINARY_DIR}/SrjoinConfig.cmake
  INSTALL_DESTINATION ${srjoin_cmake_dir} PATH_VARS SRJOIN_BINDIR)
# The package holds a program, not a library: a consumer's pointer size (a 32-bit firmware
# target's) does not matter.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/SrjoinConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)
install(FILES ${PROJECT_BINARY_DIR}/SrjoinConfig.cmake
              ${PROJECT_BINARY_DIR}/SrjoinConfigVersion.cmake
              ${CMAKE_CURRENT_LIST_DIR}/SrjoinMergeStep.cmake
        DESTINATION ${srjoin_cmake_dir})
