# Cross-compiling the Windows build with Debian's MinGW-w64 toolchain, for
# the processor that the including toolchain file sets in
# CMAKE_SYSTEM_PROCESSOR (i686 or x86_64).
#
# The posix thread model compilers are used because the core relies on
# std::mutex and std::thread support. Everything is linked statically, so the
# DLL and the programs import only system DLLs. Programs built here run under
# Wine, which ctest and GoogleTest's test discovery use as the emulator.
set(CMAKE_SYSTEM_NAME Windows)

set(MINGW_PREFIX ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)
set(CMAKE_C_COMPILER ${MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_PREFIX}-windres)
find_program(WIDL_EXECUTABLE ${MINGW_PREFIX}-widl REQUIRED)
# The objcopy of the same architecture moves the shipped binaries' debug
# information into files of their own (cmake/split_debug_info.cmake).
find_program(CMAKE_OBJCOPY ${MINGW_PREFIX}-objcopy REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(static_flags "-static -static-libgcc -static-libstdc++")
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  # The .def files name the exports undecorated; on i686 the STDAPI entry
  # points are _DllGetClassObject@12 and so on, which ld resolves to them.
  string(APPEND static_flags " -Wl,--enable-stdcall-fixup")
endif()
set(CMAKE_EXE_LINKER_FLAGS_INIT "${static_flags}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${static_flags}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${static_flags}")

find_program(WINE_EXECUTABLE wine)
if(WINE_EXECUTABLE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_EXECUTABLE})
endif()
