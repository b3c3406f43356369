# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix threads).
# Everything links statically but the cryptography library, whose DLLs
# go beside the programs (cmake/crypto.cmake).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_kv_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_kv_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_kv_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_kv_triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${_kv_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C99 printf family (so %zu and %llu mean what the format checks say)
# and the Windows 7 API level.
add_compile_definitions(__USE_MINGW_ANSI_STDIO=1 _WIN32_WINNT=0x0601 WINVER=0x0601)
# No link time in the programs' headers: two builds give the same bytes.
# Release programs are shipped as linked, so they carry no symbols.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--no-insert-timestamp")
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")

# Tests run under Wine.
find_program(KVFLASH_WINE wine)
if(KVFLASH_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KVFLASH_WINE})
endif()

# -O2, not CMake's -O3: at -O3 GCC 12 reports false -Wrestrict overlaps
# inside std::string, which the warnings-as-errors build turns fatal.
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags of Release builds")
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags of Release builds")
