# Cross build for 64-bit Windows with mingw-w64 on Debian. Test programs run under Wine
# through cmake/wine-run.sh, so `ctest` in this tree exercises the real Windows code.
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZLV_MINGW_PREFIX x86_64-w64-mingw32)
# The posix flavour: its libstdc++ has std::thread and std::mutex, which the win32 one lacks.
set(CMAKE_C_COMPILER ${ZLV_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZLV_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ZLV_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZLV_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# libgcc, libstdc++ and winpthread linked in, so that Wine finds no DLL missing beside the
# program and the executables can be copied anywhere.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)

# There is no Qt for Windows on this machine: the cross build is the core and the capture
# only. A -DZLV_BUILD_GUI=ON given on the command line still wins.
set(ZLV_BUILD_GUI OFF CACHE BOOL "Build the Qt application (off for the Windows capture-only cross build)")
