# GoogleTest for the Windows build, compiled from Debian's sources by the same cross compiler,
# and test programs that ctest runs through Wine in a private prefix:
#   include(<repository>/cmake/windows_gtest.cmake)
#   pulsaro_add_windows_gtest(NAME SOURCES file... [LIBRARIES lib...] [WORKING_DIRECTORY dir])
# ctest starts the prefix (scripts/wine_prefix.sh, made on first use), a warm wineserver and a
# private Xvfb before the first such test, and ends them after the last; each test runs through
# the script, so its windows go to that Xvfb whatever display ctest has.
include_guard(GLOBAL)

if(NOT MINGW)
  message(FATAL_ERROR "windows_gtest.cmake is for builds with cmake/mingw-w64-x86_64.cmake")
endif()

set(PULSARO_GTEST_SOURCE_DIR /usr/src/googletest
    CACHE PATH "GoogleTest's sources (Debian package googletest)")
set(PULSARO_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix
    CACHE PATH "Wine prefix the Windows tests run in, made by scripts/wine_prefix.sh")

# GoogleTest uses Win32 threads under MinGW whatever the compiler's thread model, so it needs no
# winpthread; static, so the test programs import only system DLLs like the programs they test.
set(gtest_disable_pthreads ON)
set(BUILD_GMOCK OFF)
set(INSTALL_GTEST OFF)
set(BUILD_SHARED_LIBS OFF)
add_subdirectory(${PULSARO_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

# Every test program's main, which makes a skip a failure where all tests must run.
cmake_path(SET PULSARO_TEST_SUPPORT_DIR NORMALIZE ${CMAKE_CURRENT_LIST_DIR}/../tests/support)
set(PULSARO_TEST_MAIN_SOURCES ${PULSARO_TEST_SUPPORT_DIR}/gtest_main.cpp
                              ${PULSARO_TEST_SUPPORT_DIR}/must_run.cpp CACHE INTERNAL "")

# The script sets Wine's environment (WINEPREFIX, HOME...), so nothing is written outside the
# prefix, and ctest runs the tests through it.
cmake_path(SET PULSARO_WINE_PREFIX_SCRIPT NORMALIZE
           ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine_prefix.sh)
set(PULSARO_WINE_PREFIX_SCRIPT ${PULSARO_WINE_PREFIX_SCRIPT} CACHE INTERNAL "")

if(CMAKE_CROSSCOMPILING_EMULATOR)
  # Testing is enabled in the directory that first includes this file, for these two.
  enable_testing()
  add_test(NAME wine_prefix_start
           COMMAND bash ${PULSARO_WINE_PREFIX_SCRIPT} ${PULSARO_WINE_PREFIX} --start-server)
  add_test(NAME wine_prefix_stop
           COMMAND bash ${PULSARO_WINE_PREFIX_SCRIPT} ${PULSARO_WINE_PREFIX} --stop-server)
  set_tests_properties(wine_prefix_start PROPERTIES FIXTURES_SETUP pulsaro_wine TIMEOUT 300)
  set_tests_properties(wine_prefix_stop PROPERTIES FIXTURES_CLEANUP pulsaro_wine)
else()
  message(STATUS "wine not found: the Windows tests are built but ctest cannot run them")
endif()

function(pulsaro_add_windows_gtest name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "WORKING_DIRECTORY" "SOURCES;LIBRARIES")
  add_executable(${name} ${arg_SOURCES} ${PULSARO_TEST_MAIN_SOURCES})
  target_include_directories(${name} PRIVATE ${PULSARO_TEST_SUPPORT_DIR})
  target_link_libraries(${name} PRIVATE GTest::gtest ${arg_LIBRARIES})
  if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
    return()
  endif()
  if(NOT arg_WORKING_DIRECTORY)
    set(arg_WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  endif()
  add_test(NAME ${name}
           COMMAND bash ${PULSARO_WINE_PREFIX_SCRIPT} ${PULSARO_WINE_PREFIX} --run
                   $<TARGET_FILE:${name}> --gtest_color=no
           WORKING_DIRECTORY ${arg_WORKING_DIRECTORY})
  # One program at a time in the shared prefix: two that started there together once both hung
  # after their last case, until the time-out.
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED pulsaro_wine
                                          RESOURCE_LOCK pulsaro_windows_wine_prefix TIMEOUT 300)
endfunction()
