# The Windows programs, cross-built from this same tree with cmake/mingw-w64-x86_64.cmake into a
# build folder of their own (<build>/windows) whenever this Linux build is built, so that one
# build and one ctest cover both hosts: the Windows build's own tests (run under Wine) are part
# of this build's tests, and the Linux tests that drive the Windows programs find them there.
#   PULSARO_WINDOWS=AUTO  when mingw-w64 and Wine are installed (the default)
#   PULSARO_WINDOWS=ON    always: a missing tool is an error
#   PULSARO_WINDOWS=OFF   never
# PULSARO_WINDOWS_BUILD_DIR may name a Windows build tree made elsewhere instead; then this build
# builds none and uses that one's programs.
include_guard(GLOBAL)

set(PULSARO_WINDOWS AUTO CACHE STRING "Cross-build the Windows programs and test them under Wine")
set_property(CACHE PULSARO_WINDOWS PROPERTY STRINGS AUTO ON OFF)
set(PULSARO_WINDOWS_BUILD_DIR "" CACHE PATH
    "A Windows build tree (cmake/mingw-w64-x86_64.cmake) whose programs Linux tests run under Wine")

function(pulsaro_windows_tools_found result)
  find_program(PULSARO_MINGW_CXX x86_64-w64-mingw32-g++-posix)
  find_program(PULSARO_WINE wine)
  set(missing)
  foreach(tool PULSARO_MINGW_CXX PULSARO_WINE)
    if(NOT ${tool})
      list(APPEND missing ${tool})
    endif()
  endforeach()
  set(${result} "${missing}" PARENT_SCOPE)
endfunction()

if(PULSARO_WINDOWS STREQUAL "OFF" OR PULSARO_WINDOWS_BUILD_DIR)
  return()
endif()
pulsaro_windows_tools_found(missing)
if(missing)
  set(why "the Windows build needs mingw-w64 and Wine (scripts/install_deps.sh --for-tests installs them); not found: ${missing}")
  if(PULSARO_WINDOWS STREQUAL "ON")
    message(FATAL_ERROR "${why}")
  endif()
  message(STATUS "Leaving out ${why}")
  return()
endif()

include(ExternalProject)
set(windows_dir ${CMAKE_BINARY_DIR}/windows)
# The same keys in both hosts' updaters, named so that the inner build finds them wherever it is.
set(update_keys)
foreach(key_file IN LISTS PULSARO_UPDATE_PUBLIC_KEYS)
  cmake_path(ABSOLUTE_PATH key_file BASE_DIRECTORY ${CMAKE_SOURCE_DIR} NORMALIZE)
  list(APPEND update_keys ${key_file})
endforeach()
string(REPLACE ";" "|" update_keys "${update_keys}")
cmake_host_system_information(RESULT cores QUERY NUMBER_OF_LOGICAL_CORES)
ExternalProject_Add(pulsaro_windows
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${windows_dir}
  CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-w64-x86_64.cmake
             -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
             -DBUILD_TESTING=${BUILD_TESTING}
             -DPULSARO_UPDATE_PUBLIC_KEYS=${update_keys}
  LIST_SEPARATOR |
  # The inner build decides for itself what changed, every time.
  BUILD_ALWAYS ON
  BUILD_COMMAND ${CMAKE_COMMAND} --build ${windows_dir} --parallel ${cores}
  INSTALL_COMMAND "")
# For the folders added after this one; the cache keeps saying that none was given.
set(PULSARO_WINDOWS_BUILD_DIR ${windows_dir})

# ctest reads the Windows build's tests where that build wrote them.
if(BUILD_TESTING)
  file(WRITE ${CMAKE_BINARY_DIR}/windows_tests.cmake "subdirs(\"${windows_dir}\")\n")
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY
    TEST_INCLUDE_FILES ${CMAKE_BINARY_DIR}/windows_tests.cmake)
endif()
