# What `cmake --install` installs, the CMake package zyn, and the archives
# CPack makes of it (`cpack --preset native`, `cpack --preset windows`).
#
# Two components:
#   runtime      the plug-in, hbc-host, the sample item folder and a short
#                readme: what an administrator or an item author needs. On
#                POSIX also libwin32_posix.so, which the plug-in and hbc-host
#                load.
#   development  the zyn library for other programs: its headers, the static
#                library and the CMake package, so that find_package(zyn)
#                gives zyn::zyn (on POSIX with zyn::win32_posix and its
#                headers).
# The Windows zip holds the runtime component: tpa_hbc.dll beside
# hbc-host.exe, which looks for the plug-in beside itself, the readme and
# examples/. The Linux tarball holds both components in the usual bin/ lib/
# include/ share/ tree, with tpa_hbc.so in bin/ beside hbc-host for the same
# reason. The Windows install puts the runtime component at the top of the
# prefix, as the zip does, and the library in include/ and lib/.
# Test programs, the probe host and GoogleTest have no install rules.

set(HBC_SHIPPED_PROGRAMS tpa_hbc)
if(TARGET hbc-host)
  list(APPEND HBC_SHIPPED_PROGRAMS hbc-host)
endif()

if(WIN32)
  set(HBC_PROGRAM_DIR .)
  set(HBC_SAMPLE_DIR .)
  set(HBC_README_DIR .)
else()
  set(HBC_PROGRAM_DIR ${CMAKE_INSTALL_BINDIR})
  set(HBC_SAMPLE_DIR ${CMAKE_INSTALL_DATADIR}/tpa_hbc)
  set(HBC_README_DIR ${CMAKE_INSTALL_DOCDIR})
  # The installed programs find libwin32_posix.so relative to themselves, so
  # an unpacked tarball works wherever it lies.
  file(RELATIVE_PATH _hbc_to_lib "/${HBC_PROGRAM_DIR}" "/${CMAKE_INSTALL_LIBDIR}")
  set_target_properties(${HBC_SHIPPED_PROGRAMS} PROPERTIES INSTALL_RPATH "$ORIGIN/${_hbc_to_lib}")
endif()

# A host loads the plug-in by name and nothing links against it, so the
# import library the Windows build makes beside tpa_hbc.dll is left out of
# every install.
install(TARGETS ${HBC_SHIPPED_PROGRAMS}
  RUNTIME DESTINATION ${HBC_PROGRAM_DIR} COMPONENT runtime
  LIBRARY DESTINATION ${HBC_PROGRAM_DIR} COMPONENT runtime
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT import_library EXCLUDE_FROM_ALL)

# The sample folder and its neighbours (the drive folder its items name, the
# registry files), as they stand in the source tree.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/ DESTINATION ${HBC_SAMPLE_DIR}/examples
  COMPONENT runtime)

if(WIN32)
  set(HBC_README_NEWLINES CRLF)
  set(HBC_README_MODULE "tpa_hbc.dll")
  set(HBC_README_HOST "hbc-host.exe")
  set(HBC_README_SAMPLE "examples\\")
  set(HBC_README_FOLDER "C:\\Items\\")
  set(HBC_README_PLATFORM [[On 64-bit Windows
    The 32-bit plug-in and hbc-host.exe see HKEY_LOCAL_MACHINE\SOFTWARE as
    HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node: import registry files with the
    32-bit regedit, %SystemRoot%\SysWOW64\regedit.exe.]])
else()
  set(HBC_README_NEWLINES UNIX)
  set(HBC_README_MODULE "${HBC_PROGRAM_DIR}/tpa_hbc.so")
  set(HBC_README_HOST "${HBC_PROGRAM_DIR}/hbc-host")
  set(HBC_README_SAMPLE "${HBC_SAMPLE_DIR}/examples/")
  set(HBC_README_FOLDER "${HBC_SAMPLE_DIR}/examples/items")
  set(HBC_README_PLATFORM "On Linux
    The Win32 calls are served by ${CMAKE_INSTALL_LIBDIR}/libwin32_posix.so. The registry is the
    file WIN32_POSIX_REGISTRY names (regedit's text format; without it the
    registry lives in the process), drive C: is / unless WIN32_POSIX_DRIVE_C
    names another folder, and WIN32_POSIX_VERSION (MAJOR.MINOR, default 10.0)
    is the Windows version the plug-in sees.

The zyn library
    ${CMAKE_INSTALL_INCLUDEDIR}/zyn, ${CMAKE_INSTALL_LIBDIR}/libzyn.a and a CMake package:
        find_package(zyn ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR} REQUIRED)
        target_link_libraries(my_program PRIVATE zyn::zyn)")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/package-readme.txt.in ${CMAKE_BINARY_DIR}/README.txt
  @ONLY NEWLINE_STYLE ${HBC_README_NEWLINES})
install(FILES ${CMAKE_BINARY_DIR}/README.txt DESTINATION ${HBC_README_DIR} COMPONENT runtime)

# The zyn library and its CMake package.
set(HBC_ZYN_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/zyn)
set(HBC_ZYN_EXPORTED zyn)
set(HBC_ZYN_DEPENDENCIES "")
if(NOT WIN32)
  list(APPEND HBC_ZYN_EXPORTED win32_posix)
  set(HBC_ZYN_DEPENDENCIES "find_dependency(Threads)")
  # The shared library is needed at run time; its headers (all but the test
  # hooks) only to build against it.
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/win32_posix/include/
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/win32_posix COMPONENT development
    PATTERN testing.h EXCLUDE)
endif()
install(TARGETS ${HBC_ZYN_EXPORTED} EXPORT zynTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/zyn5_lib_1.2.0/zyn/include/
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/zyn COMPONENT development)
install(EXPORT zynTargets NAMESPACE zyn:: DESTINATION ${HBC_ZYN_PACKAGE_DIR}
  COMPONENT development)

include(CMakePackageConfigHelpers)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/zynConfig.cmake.in
  ${CMAKE_BINARY_DIR}/zynConfig.cmake INSTALL_DESTINATION ${HBC_ZYN_PACKAGE_DIR})
# A later 1.x keeps the interface; the check of the pointer size keeps a
# 64-bit program from finding the 32-bit Windows build and the reverse.
write_basic_package_version_file(${CMAKE_BINARY_DIR}/zynConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/zynConfig.cmake ${CMAKE_BINARY_DIR}/zynConfigVersion.cmake
  DESTINATION ${HBC_ZYN_PACKAGE_DIR} COMPONENT development)

# The archives: tpa_hbc-<version>-windows-x86.zip and
# tpa_hbc-<version>-linux-<processor>.tar.gz, each unpacking into one folder,
# tpa_hbc. The folder's name holds no dot: hbc-host, having no extension on
# Linux, cannot run from a folder with a dot in its name (the module would
# derive no name for its log records from the path). Programs are stripped
# of their debugging information.
set(CPACK_PACKAGE_NAME tpa_hbc)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "The third-party applications plug-in for the HubConsole client, hbc-host and the zyn library")
set(CPACK_STRIP_FILES ON)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_PACKAGING_INSTALL_PREFIX /tpa_hbc)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  # One archive of the runtime component alone.
  set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
  set(CPACK_COMPONENTS_ALL runtime)
  set(CPACK_PACKAGE_FILE_NAME "tpa_hbc-${PROJECT_VERSION}-windows-x86")
  set(HBC_PACKAGE_FILE "${CPACK_PACKAGE_FILE_NAME}.zip")
  set(HBC_TARGET_WINDOWS ON)
else()
  set(CPACK_GENERATOR TGZ)
  set(CPACK_PACKAGE_FILE_NAME "tpa_hbc-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR}")
  set(HBC_PACKAGE_FILE "${CPACK_PACKAGE_FILE_NAME}.tar.gz")
  set(HBC_TARGET_WINDOWS OFF)
endif()
include(CPack)

# What the install and package checks (tests/package/) need to know of this
# build; they read it from the build folder.
string(TOLOWER "${CMAKE_BUILD_TYPE}" HBC_CONFIG)
if(NOT HBC_CONFIG)
  set(HBC_CONFIG noconfig)
endif()
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/hbc_package_facts.cmake @ONLY CONTENT [[
set(HBC_SOURCE_DIR "@CMAKE_SOURCE_DIR@")
set(HBC_TARGET_WINDOWS @HBC_TARGET_WINDOWS@)
set(HBC_LIBDIR "@CMAKE_INSTALL_LIBDIR@")
set(HBC_CONFIG "@HBC_CONFIG@")
set(HBC_PACKAGE_FILE "@HBC_PACKAGE_FILE@")
set(HBC_GENERATOR "@CMAKE_GENERATOR@")
set(HBC_TOOLCHAIN "@CMAKE_TOOLCHAIN_FILE@")
set(HBC_WINE "@HBC_WINE@")
set(HBC_WINEPREFIX "@HBC_WINEPREFIX@")
]])
