# Checks the archive CPack made of the build in BUILD_DIR (cpack --preset
# native: the Linux tarball; cpack --preset windows: the Windows zip), found
# in PACKAGE_DIR: it unpacks into one folder, tpa_hbc, which holds exactly
# the files that ship. When hbc-host is in it, the unpacked hbc-host
# is run on the unpacked sample folder (under Wine for the zip), which shows
# that the programs find what they need wherever the archive is unpacked.
#
#   cmake -DBUILD_DIR=<build folder> -DPACKAGE_DIR=<folder of the archives> -P check_package.cmake
include("${BUILD_DIR}/hbc_package_facts.cmake")
include("${CMAKE_CURRENT_LIST_DIR}/expected_files.cmake")

set(archive "${PACKAGE_DIR}/${HBC_PACKAGE_FILE}")
if(NOT EXISTS "${archive}")
  message(FATAL_ERROR "${archive}: no such package; make it with cpack first")
endif()
set(unpacked "${BUILD_DIR}/package_check")
file(REMOVE_RECURSE "${unpacked}")
file(ARCHIVE_EXTRACT INPUT "${archive}" DESTINATION "${unpacked}")
set(top tpa_hbc)
file(GLOB tops RELATIVE "${unpacked}" "${unpacked}/*")
if(NOT tops STREQUAL top)
  message(FATAL_ERROR "${HBC_PACKAGE_FILE}: unpacks into \"${tops}\", not into one folder \"${top}\"")
endif()
set(root "${unpacked}/${top}")

if(HBC_TARGET_WINDOWS)
  hbc_check_files("${HBC_PACKAGE_FILE}" "${root}" runtime)
  set(host "${root}/hbc-host.exe")
  string(REPLACE "/" "\\" items "Z:${root}/examples/items")
  set(run "${HBC_WINE}" "${host}" "${items}")
  set(module "tpa_hbc.dll")
  set(ENV{WINEPREFIX} "${HBC_WINEPREFIX}")
  set(ENV{WINEDEBUG} "-all")
else()
  hbc_check_files("${HBC_PACKAGE_FILE}" "${root}" all)
  set(host "${root}/bin/hbc-host")
  set(run "${host}" "${root}/share/tpa_hbc/examples/items")
  set(module "${root}/bin/tpa_hbc.so")
  # The sample's drive C: holds the programs its items name; the registry
  # lives in the process.
  set(ENV{WIN32_POSIX_DRIVE_C} "${root}/share/tpa_hbc/examples/drive")
  set(ENV{WIN32_POSIX_REGISTRY} "")
endif()
set(summary "${HBC_PACKAGE_FILE}: ${HBC_CHECKED_COUNT} files as expected")

# hbc-host loads the plug-in beside it by default and names it in its report.
if(EXISTS "${host}")
  execute_process(COMMAND ${run} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(HBC_TARGET_WINDOWS)
    execute_process(COMMAND wineserver -w)
  endif()
  string(FIND "${out}" "${module}" found)
  if(NOT rc EQUAL 0 OR found EQUAL -1)
    message(FATAL_ERROR "the unpacked hbc-host on the unpacked sample folder, exit status ${rc}, "
                        "expected 0 and a report on ${module}:\n${out}")
  endif()
  string(APPEND summary ", its hbc-host runs")
endif()
message(STATUS "${summary}")
