# The libFuzzer targets of fuzz/, built by clang beside the Linux build in
# <build>/fuzz wherever clang and libFuzzer's runtime are installed (Debian:
# clang, libclang-rt-14-dev). tests/fuzz runs each briefly (label fuzz);
# scripts/fuzz.sh runs them longer.
set(KVFLASH_FUZZ_BINARY_DIR ${PROJECT_BINARY_DIR}/fuzz)
find_program(KVFLASH_CLANGXX NAMES clang++ clang++-14)
set(KVFLASH_FUZZ_BUILD OFF)
set(KVFLASH_FUZZ_MISSING "")
if(KVFLASH_SANITIZE)
  set(KVFLASH_FUZZ_MISSING "sanitizer builds leave the fuzz targets to the plain build")
elseif(NOT KVFLASH_CLANGXX)
  set(KVFLASH_FUZZ_MISSING "no clang++ (Debian package clang)")
else()
  execute_process(COMMAND ${KVFLASH_CLANGXX} -print-file-name=libclang_rt.fuzzer-x86_64.a
                  OUTPUT_VARIABLE _runtime OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${_runtime}" OR NOT EXISTS "${_runtime}")
    set(KVFLASH_FUZZ_MISSING "no libFuzzer runtime for ${KVFLASH_CLANGXX} (Debian package libclang-rt-14-dev)")
  else()
    set(KVFLASH_FUZZ_BUILD ON)
  endif()
endif()

if(KVFLASH_FUZZ_BUILD)
  include(ExternalProject)
  ExternalProject_Add(kvflash_fuzz
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${KVFLASH_FUZZ_BINARY_DIR}
    CMAKE_GENERATOR ${CMAKE_GENERATOR}
    CMAKE_ARGS
      -DCMAKE_CXX_COMPILER=${KVFLASH_CLANGXX}
      -DCMAKE_BUILD_TYPE=None
      -DKVFLASH_FUZZ=ON
    BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> -j 2
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    USES_TERMINAL_BUILD ON)
endif()
