# Cross-building for 64-bit Windows with Debian's mingw-w64 (posix thread
# model, so std::thread and std::mutex exist for tests that use them), with
# programs run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VOK_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VOK_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VOK_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VOK_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VOK_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The compiler's own runtime goes inside every binary, so that a DLL or a
# program needs nothing beyond the system DLLs and our own.  -static also
# keeps winpthread (which the posix libstdc++ uses) out of the import tables;
# the system import libraries are not affected by it.
set(VOK_MINGW_STATIC_RUNTIME "-static-libgcc -static-libstdc++ -static")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${VOK_MINGW_STATIC_RUNTIME}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${VOK_MINGW_STATIC_RUNTIME}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${VOK_MINGW_STATIC_RUNTIME}")

# Programs built here run under Wine, quietly, in a Wine prefix of the
# build's own, without the Mono and Gecko installers that console programs
# never need.  Without Wine the build still works; only CTest cannot run.
find_program(VOK_WINE NAMES wine64 wine)
if(VOK_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      ${CMAKE_COMMAND} -E env WINEDEBUG=-all "WINEDLLOVERRIDES=mscoree,mshtml="
      WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix ${VOK_WINE})
endif()
