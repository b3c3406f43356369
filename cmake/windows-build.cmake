# The Windows build, cross-compiled beside the Linux one in
# <build>/windows with MinGW-w64 (cmake/mingw-w64-x86_64.cmake). It builds
# the programs, their tests and the ZIP; tests/wine runs the tests under
# Wine (label windows). Off, or missing its compiler, the Linux build is
# exactly what it is without it.
set(KVFLASH_WINDOWS AUTO CACHE STRING "Cross-build for Windows: ON, OFF or AUTO (where MinGW-w64 is installed)")
set(KVFLASH_WINDOWS_JOBS 2 CACHE STRING "Parallel jobs of the Windows build")
set(KVFLASH_WINDOWS_BINARY_DIR ${PROJECT_BINARY_DIR}/windows)

find_program(KVFLASH_MINGW_CXX x86_64-w64-mingw32-g++-posix)
set(KVFLASH_WINDOWS_BUILD OFF)
set(KVFLASH_WINDOWS_MISSING "")
if(KVFLASH_WINDOWS STREQUAL "OFF")
  set(KVFLASH_WINDOWS_MISSING "the Windows build is switched off (KVFLASH_WINDOWS=OFF)")
elseif(KVFLASH_SANITIZE)
  # The plain build makes and tests it; a sanitizer build would only repeat that.
  set(KVFLASH_WINDOWS_MISSING "sanitizer builds leave the Windows build to the plain build")
elseif(NOT KVFLASH_MINGW_CXX)
  set(KVFLASH_WINDOWS_MISSING "no MinGW-w64 cross compiler (Debian package g++-mingw-w64-x86-64-posix)")
  if(KVFLASH_WINDOWS STREQUAL "ON")
    message(FATAL_ERROR "KVFLASH_WINDOWS=ON: ${KVFLASH_WINDOWS_MISSING}")
  endif()
else()
  set(KVFLASH_WINDOWS_BUILD ON)
endif()

if(KVFLASH_WINDOWS_BUILD)
  include(ExternalProject)
  ExternalProject_Add(kvflash_windows
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${KVFLASH_WINDOWS_BINARY_DIR}
    CMAKE_GENERATOR ${CMAKE_GENERATOR}
    CMAKE_ARGS
      -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-w64-x86_64.cmake
      -DCMAKE_BUILD_TYPE=Release
      -DKVFLASH_TESTS=${KVFLASH_TESTS}
      -DKVFLASH_DEMO_IMAGE_FILE=${KVFLASH_DEMO_IMAGE}
    # The programs, the tests, and the ZIP.
    BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> -j ${KVFLASH_WINDOWS_JOBS}
          COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target package
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    DEPENDS kvflash_demo_image
    USES_TERMINAL_BUILD ON)
endif()
