# Linux tests that run Windows programs under Wine:
#   include(${PROJECT_SOURCE_DIR}/tests/support/wine_tests.cmake)
#   pulsaro_add_wine_gtest(NAME SOURCES file... [LIBS lib...])
# Wine runs in a prefix of this build's own, made by scripts/wine_prefix.sh on first use (see
# wine_prefix.h). The programs come from the Windows build tree named by
# PULSARO_WINDOWS_BUILD_DIR, which the tests see as the macro of that name; without one, no such
# test is built.
include_guard(GLOBAL)

set(PULSARO_WINDOWS_BUILD_DIR "" CACHE PATH
    "A Windows build tree (cmake/mingw-w64-x86_64.cmake) whose programs Linux tests run under Wine")
set(PULSARO_LINUX_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)

add_library(pulsaro_wine_test_support STATIC ${CMAKE_CURRENT_LIST_DIR}/wine_prefix.cpp)
target_link_libraries(pulsaro_wine_test_support PUBLIC pulsaro_test_support)
cmake_path(SET wine_prefix_script NORMALIZE ${CMAKE_CURRENT_LIST_DIR}/../../scripts/wine_prefix.sh)
target_compile_definitions(pulsaro_wine_test_support PRIVATE
  PULSARO_WINE_PREFIX_SCRIPT="${wine_prefix_script}")
pulsaro_warnings(pulsaro_wine_test_support)

# A warm wineserver and a display of the prefix's own for as long as the tests run, started before
# the first and ended, with every program left in the prefix, after the last: the session's
# desktop then always has a display, whichever test starts a program first.
add_test(NAME linux_wine_prefix_start
         COMMAND bash ${wine_prefix_script} ${PULSARO_LINUX_WINE_PREFIX} --start-server)
add_test(NAME linux_wine_prefix_stop
         COMMAND bash ${wine_prefix_script} ${PULSARO_LINUX_WINE_PREFIX} --stop-server)
set_tests_properties(linux_wine_prefix_start PROPERTIES FIXTURES_SETUP pulsaro_linux_wine
                                                        TIMEOUT 300)
set_tests_properties(linux_wine_prefix_stop PROPERTIES FIXTURES_CLEANUP pulsaro_linux_wine)

function(pulsaro_add_wine_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE pulsaro_wine_test_support ${ARG_LIBS})
  target_compile_definitions(${name} PRIVATE
    PULSARO_WINDOWS_BUILD_DIR="${PULSARO_WINDOWS_BUILD_DIR}")
  pulsaro_warnings(${name})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "PULSARO_WINE_PREFIX=${PULSARO_LINUX_WINE_PREFIX}" TIMEOUT 300
               FIXTURES_REQUIRED pulsaro_linux_wine)
endfunction()

pulsaro_add_wine_gtest(wine_prefix_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/wine_prefix_test.cpp)
