# The files an install or a package of this project holds, relative to its
# top folder, and the comparison with what is there. Included by
# install_test.cmake and check_package.cmake after the build's
# hbc_package_facts.cmake.

# hbc_expected_files(<out> <scope>)
#   scope  all: what `cmake --install` installs, and the Linux tarball;
#          runtime: the Windows zip.
# The headers and the sample files are the source tree's; hbc-host is
# expected as soon as its sources are there.
function(hbc_expected_files out scope)
  set(src "${HBC_SOURCE_DIR}")
  set(lib "${HBC_LIBDIR}")
  file(GLOB zyn_headers RELATIVE "${src}/zyn5_lib_1.2.0/zyn/include"
       "${src}/zyn5_lib_1.2.0/zyn/include/*.h")
  file(GLOB_RECURSE posix_headers RELATIVE "${src}/win32_posix/include"
       "${src}/win32_posix/include/*.h")
  list(REMOVE_ITEM posix_headers win32_posix/testing.h)  # test hooks stay in the source tree
  file(GLOB_RECURSE samples RELATIVE "${src}/examples" "${src}/examples/*")
  set(host OFF)
  if(EXISTS "${src}/tools/hbc_host/CMakeLists.txt")
    set(host ON)
  endif()

  set(package_files
      zynConfig.cmake zynConfigVersion.cmake zynTargets.cmake "zynTargets-${HBC_CONFIG}.cmake")
  if(HBC_TARGET_WINDOWS)
    set(files tpa_hbc.dll README.txt)
    list(TRANSFORM samples PREPEND examples/ OUTPUT_VARIABLE sample_files)
    list(APPEND files ${sample_files})
    if(host)
      list(APPEND files hbc-host.exe)
    endif()
    if(scope STREQUAL "all")
      list(TRANSFORM zyn_headers PREPEND include/zyn/)
      list(TRANSFORM package_files PREPEND "${lib}/cmake/zyn/")
      list(APPEND files "${lib}/libzyn.a" ${package_files} ${zyn_headers})
    endif()
  else()
    set(files bin/tpa_hbc.so "${lib}/libwin32_posix.so" "${lib}/libzyn.a"
        share/doc/tpa_hbc/README.txt)
    list(TRANSFORM samples PREPEND share/tpa_hbc/examples/ OUTPUT_VARIABLE sample_files)
    list(TRANSFORM zyn_headers PREPEND include/zyn/)
    list(TRANSFORM posix_headers PREPEND include/win32_posix/)
    list(TRANSFORM package_files PREPEND "${lib}/cmake/zyn/")
    list(APPEND files ${sample_files} ${zyn_headers} ${posix_headers} ${package_files})
    if(host)
      list(APPEND files bin/hbc-host)
    endif()
  endif()
  list(SORT files)
  set(${out} "${files}" PARENT_SCOPE)
endfunction()

# hbc_check_files(<what> <folder> <scope>)
# Fails, naming every file missing and every file not expected, unless the
# files under <folder> are exactly the expected ones.
function(hbc_check_files what folder scope)
  hbc_expected_files(expected ${scope})
  file(GLOB_RECURSE actual RELATIVE "${folder}" "${folder}/*")
  list(SORT actual)
  set(missing ${expected})
  list(REMOVE_ITEM missing ${actual})
  set(unexpected ${actual})
  list(REMOVE_ITEM unexpected ${expected})
  if(missing OR unexpected)
    list(JOIN missing "\n    " missing)
    list(JOIN unexpected "\n    " unexpected)
    message(FATAL_ERROR "${what}: not the expected files\n"
                        "  missing:\n    ${missing}\n  not expected:\n    ${unexpected}")
  endif()
  list(LENGTH actual count)
  set(HBC_CHECKED_COUNT ${count} PARENT_SCOPE)
endfunction()
