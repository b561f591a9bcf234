# Cross-compiles for 64-bit Windows with Debian's mingw-w64:
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake ...
# The -posix compilers are used because only their libstdc++ has std::thread and std::mutex.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PULSARO_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PULSARO_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PULSARO_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${PULSARO_MINGW_TRIPLET}-windres)

# Libraries and headers come from the target's tree beside the compiler, programs from the host.
find_program(PULSARO_MINGW_CXX ${CMAKE_CXX_COMPILER} REQUIRED)
cmake_path(GET PULSARO_MINGW_CXX PARENT_PATH mingw_bin_dir)
cmake_path(GET mingw_bin_dir PARENT_PATH mingw_install_dir)
set(CMAKE_FIND_ROOT_PATH ${mingw_install_dir}/${PULSARO_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static runtime: the programs and controls then import only DLLs every Windows has, so the
# setup can copy them anywhere without libstdc++, libgcc or winpthread beside them.
set(static_runtime "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT ${static_runtime})
set(CMAKE_SHARED_LINKER_FLAGS_INIT ${static_runtime})
set(CMAKE_MODULE_LINKER_FLAGS_INIT ${static_runtime})

set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)

# ctest runs the Windows test programs through Wine.
# A test must give Wine its own WINEPREFIX: without one Wine uses the home folder's.
find_program(PULSARO_WINE wine)
if(PULSARO_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PULSARO_WINE})
endif()
