# Test registration shared by every test program.
#
# The library names a log record after the running executable and refuses
# executable paths of 128 characters or more, so a test program run from a
# deep build folder would log nothing. Each program is therefore copied after
# the build into a short folder under /tmp (one per build folder) and run
# from there, natively and under Wine alike.

string(MD5 _hbc_hash "${CMAKE_BINARY_DIR}")
string(SUBSTRING "${_hbc_hash}" 0 10 _hbc_hash)
set(HBC_RUN_DIR "/tmp/hbc-${_hbc_hash}" CACHE INTERNAL "short folder the test programs run from")

if(WIN32)
  set(HBC_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE INTERNAL "")
  set(HBC_TEST_ENV
      "WINEPREFIX=${HBC_WINEPREFIX}" "WINEDEBUG=-all" "WINEDLLOVERRIDES=mscoree,mshtml=")
else()
  # An empty WIN32_POSIX_REGISTRY keeps the registry in the process.
  set(HBC_TEST_ENV "WIN32_POSIX_REGISTRY=" "WIN32_POSIX_VERSION=" "WIN32_POSIX_DRIVE_C=/")
  if(HBC_TSAN)
    # A reported race fails the test program (exit code 66 after the run).
    list(APPEND HBC_TEST_ENV "TSAN_OPTIONS=second_deadlock_stack=1:history_size=4")
  endif()
endif()


# Creates the private Wine prefix once before the first Wine test and waits
# for Wine's server to go away after the last one, so that no Wine process
# outlives the run (CTest would otherwise wait for its output pipe).
function(_hbc_wine_fixture)
  get_property(done GLOBAL PROPERTY HBC_WINE_FIXTURE)
  if(done)
    return()
  endif()
  set_property(GLOBAL PROPERTY HBC_WINE_FIXTURE TRUE)
  add_test(NAME wine_prefix_start COMMAND ${HBC_WINE} wineboot --init)
  add_test(NAME wine_prefix_stop COMMAND wineserver -w)
  set_tests_properties(wine_prefix_start PROPERTIES FIXTURES_SETUP wine_prefix
                       ENVIRONMENT "${HBC_TEST_ENV}" RESOURCE_LOCK wine_prefix)
  set_tests_properties(wine_prefix_stop PROPERTIES FIXTURES_CLEANUP wine_prefix
                       ENVIRONMENT "${HBC_TEST_ENV}" RESOURCE_LOCK wine_prefix)
endfunction()

# hbc_run_test(<test name> <target> [FOLDER <subfolder of the run folder>] [ARGS ...])
# Copies the target's program into the run folder (or a subfolder of it) and
# registers one CTest test that runs it there.
function(hbc_run_test name target)
  cmake_parse_arguments(ARG "" "FOLDER" "ARGS" ${ARGN})
  set(dir "${HBC_RUN_DIR}")
  if(ARG_FOLDER)
    set(dir "${HBC_RUN_DIR}/${ARG_FOLDER}")
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory "${dir}"
    COMMAND ${CMAKE_COMMAND} -E copy "$<TARGET_FILE:${target}>" "${dir}/"
    VERBATIM)
  set(exe "${dir}/$<TARGET_FILE_NAME:${target}>")
  if(WIN32)
    add_test(NAME ${name} COMMAND ${HBC_WINE} "${exe}" ${ARG_ARGS})
  else()
    add_test(NAME ${name} COMMAND "${exe}" ${ARG_ARGS})
  endif()
  hbc_test_properties(${name})
endfunction()

# hbc_test_properties(<test name>)
# The environment every test runs in; in the Windows build also the private
# Wine prefix. All Wine tests share that prefix, hence one registry: they
# run one at a time.
function(hbc_test_properties name)
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${HBC_TEST_ENV}" TIMEOUT 600)
  if(WIN32)
    _hbc_wine_fixture()
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine_prefix RESOURCE_LOCK wine_prefix)
  endif()
endfunction()

# hbc_add_test_program(<target> SOURCES ... [LIBS ...])
# A GoogleTest program, linked with the shared test support, run as one CTest test.
function(hbc_add_test_program target)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE hbc_test_support ${ARG_LIBS})
  if(WIN32)
    target_link_options(${target} PRIVATE -static)
  endif()
  hbc_run_test(${target} ${target} ARGS --gtest_filter=-DeepPath*)
endfunction()
