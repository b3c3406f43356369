# Every folder is a static library of the *.cpp files it holds, so a new file
# needs no edit here. Our own code builds with warnings as errors.
set(KV_WARNINGS -Wall -Wextra -Werror)
# A library's files compiled a few at a time as one unit: the program takes
# about 40% less compiler time. So file-local names must differ within a
# library. The Windows build compiles file by file, which shows a file
# that leans on a neighbour's includes.
option(KVFLASH_UNITY_BUILD "Compile each product library in unity files" ON)

function(kv_module name folder)
  file(GLOB _sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
  if(_sources)
    add_library(${name} STATIC ${_sources})
    set_target_properties(${name} PROPERTIES UNITY_BUILD ${KVFLASH_UNITY_BUILD})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR} ${KV_GENERATED_DIR})
    target_compile_options(${name} PRIVATE ${KV_WARNINGS})
    if(ARGN)
      target_link_libraries(${name} PUBLIC ${ARGN})
    endif()
  else()
    # Headers only, so far.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR} ${KV_GENERATED_DIR})
    if(ARGN)
      target_link_libraries(${name} INTERFACE ${ARGN})
    endif()
  endif()
endfunction()

# Every program lands in build/bin.
function(kv_program name)
  add_executable(${name} ${ARGN})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
  target_compile_options(${name} PRIVATE ${KV_WARNINGS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${KV_GENERATED_DIR})
endfunction()

# One test program per folder of tests/; a folder's linux/ part holds the
# tests of what only Linux has (its devices, CUPS, signals, processes).
function(kv_test folder)
  file(GLOB _sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
  if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    file(GLOB _linux CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/linux/*.cpp)
    list(APPEND _sources ${_linux})
  endif()
  if(NOT _sources)
    return()
  endif()
  set(_name kvtest_${folder})
  add_executable(${_name} ${_sources})
  target_compile_options(${_name} PRIVATE ${KV_WARNINGS})
  target_include_directories(${_name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${_name} PRIVATE ${ARGN} kv_test_support GTest::gtest GTest::gmock
    GTest::gtest_main)
  if(KVFLASH_WIN32)
    # Listed and run under Wine by the Linux build's tests/wine.
    return()
  endif()
  # Labelled by folder, so that a build of some programs runs only theirs.
  gtest_discover_tests(${_name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "KVFLASH_BUILD_DIR=${PROJECT_BINARY_DIR}" LABELS ${folder})
endfunction()
