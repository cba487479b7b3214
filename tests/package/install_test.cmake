# The install as another project meets it: the build in BUILD_DIR installed
# into a fresh folder under WORK_DIR, its files checked against the list of
# what ships, then the consumer project (consumer/) configured against that
# folder alone through find_package(zyn), built and run; under Wine for the
# Windows build.
#
#   cmake -DBUILD_DIR=<build folder> -DWORK_DIR=<scratch folder> -P install_test.cmake
include("${BUILD_DIR}/hbc_package_facts.cmake")
include("${CMAKE_CURRENT_LIST_DIR}/expected_files.cmake")

# Runs a command; fails with its output unless it succeeds, else leaves the
# output in HBC_OUTPUT.
function(hbc_run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${what} failed (${rc}):\n${out}")
  endif()
  set(HBC_OUTPUT "${out}" PARENT_SCOPE)
endfunction()

set(prefix "${WORK_DIR}/prefix")
file(REMOVE_RECURSE "${WORK_DIR}")
hbc_run("cmake --install" "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}")
hbc_check_files("cmake --install" "${prefix}" all)
message(STATUS "installed: ${HBC_CHECKED_COUNT} files as expected")

set(consumer "${WORK_DIR}/consumer")
set(configure "${CMAKE_COMMAND}" -S "${CMAKE_CURRENT_LIST_DIR}/consumer" -B "${consumer}"
    -G "${HBC_GENERATOR}" -DCMAKE_BUILD_TYPE=Release "-DCMAKE_PREFIX_PATH=${prefix}")
if(HBC_TOOLCHAIN)
  list(APPEND configure "-DCMAKE_TOOLCHAIN_FILE=${HBC_TOOLCHAIN}")
endif()
hbc_run("configuring the consumer" ${configure})
hbc_run("building the consumer" "${CMAKE_COMMAND}" --build "${consumer}")

if(HBC_TARGET_WINDOWS)
  string(REPLACE "/" "\\" module "Z:${prefix}/tpa_hbc.dll")
  set(run "${HBC_WINE}" "${consumer}/zyn_consumer.exe")
else()
  set(module "${prefix}/bin/tpa_hbc.so")
  set(run "${consumer}/zyn_consumer")
endif()
# The plug-in builds its catalogue from the current folder when no item
# folder is set: an empty one. Natively the registry lives in the process.
file(MAKE_DIRECTORY "${WORK_DIR}/run")
set(ENV{ZYN_CONSUMER_MODULE} "${module}")
set(ENV{WIN32_POSIX_REGISTRY} "")
hbc_run("the consumer" "${CMAKE_COMMAND}" -E chdir "${WORK_DIR}/run" ${run})
message(STATUS "the consumer says:\n${HBC_OUTPUT}")
