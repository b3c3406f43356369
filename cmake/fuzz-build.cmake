# What the fuzz build needs of its compiler: clang with libFuzzer's runtime
# (Debian: clang, libclang-rt-14-dev), and the address sanitizer build,
# whose flags every product library then gets, with the fuzzer's coverage.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "The fuzz build needs clang++ (Debian package clang): cmake --preset fuzz")
endif()
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libclang_rt.fuzzer-x86_64.a
                OUTPUT_VARIABLE _kv_runtime OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT IS_ABSOLUTE "${_kv_runtime}" OR NOT EXISTS "${_kv_runtime}")
  message(FATAL_ERROR "No libFuzzer runtime for ${CMAKE_CXX_COMPILER} (Debian package libclang-rt-14-dev)")
endif()
if(NOT KVFLASH_SANITIZE STREQUAL "address")
  message(FATAL_ERROR "The fuzz build is an address sanitizer build: KVFLASH_SANITIZE=address")
endif()
add_compile_options(-fsanitize=fuzzer-no-link -g -O1)
