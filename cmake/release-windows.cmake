# The Windows release files, `cmake --build build/windows --target package`:
#   kvflash-VERSION-win64.zip     one folder to unpack anywhere (a stick)
#   kvflash-VERSION-setup.exe     the installer (dist/windows/installer.nsi.in)
#   SHA256SUMS                    of both
# Both pack one folder, release/kvflash-VERSION-win64: the window program,
# the terminal program, kvimage, the demo image, the licence and a short
# README, and the cryptography library's two DLLs with their licence texts
# (cmake/crypto.cmake says why DLLs); everything else is linked statically.
# Every file
# of that folder carries the changelog's date and a fixed mode, and the ZIP
# lists them in a fixed order without extra fields, so two builds of one
# commit give the same bytes wherever and whenever they run.
set(KVFLASH_DEMO_IMAGE_DIR "" CACHE PATH "Where the Linux build's kvimage made the demo image to ship")
if(NOT KVFLASH_DEMO_IMAGE_DIR)
  message(WARNING "KVFLASH_DEMO_IMAGE_DIR is not set (the windows preset sets it): no release files")
  return()
endif()
set(_kv_demo_image ${KVFLASH_DEMO_IMAGE_DIR}/${KVFLASH_DEMO_IMAGE_NAME})
# Made once with the demo key: kvimage makes the same image on every build.
set(_kv_demo_signature ${PROJECT_SOURCE_DIR}/main/demo/${KVFLASH_DEMO_IMAGE_NAME}.minisig)
find_program(KVFLASH_ZIP zip)
find_program(KVFLASH_MAKENSIS makensis)
if(NOT KVFLASH_ZIP OR NOT KVFLASH_MAKENSIS)
  message(WARNING "zip or makensis not found (Debian packages zip, nsis): no release files")
  return()
endif()
# The demo image is made by the Linux build's kvimage: without it the build
# would stop later at a missing file, which says nothing of the way out. (The
# leading blank keeps CMake from wrapping the line.)
if(NOT EXISTS ${_kv_demo_image})
  message(FATAL_ERROR " No demo image: build the program preset first (cmake --workflow --preset program)")
endif()

set(_kv_name kvflash-${PROJECT_VERSION}-win64)
set(_kv_stage ${PROJECT_BINARY_DIR}/release/${_kv_name})
set(_kv_programs kvflash-cli.exe kvflash.exe kvimage.exe libgcrypt-20.dll libgpg-error-0.dll)
# The library's licence and, for each DLL, Debian's copyright file, which
# names the source (Debian's source packages of the same version).
set(_kv_licences LGPL-2.1.txt libgcrypt-copyright.txt libgpg-error-copyright.txt)
set(_kv_data ${KVFLASH_DEMO_IMAGE_NAME} ${KVFLASH_DEMO_IMAGE_NAME}.minisig LICENSE.txt README.txt
  ${_kv_licences})
# In the C locale's order, as the ZIP lists them.
set(_kv_members ${_kv_data} ${_kv_programs})
list(SORT _kv_members)
list(TRANSFORM _kv_members PREPEND ${_kv_stage}/ OUTPUT_VARIABLE _kv_staged)
list(TRANSFORM _kv_data PREPEND ${_kv_stage}/ OUTPUT_VARIABLE _kv_staged_data)
list(TRANSFORM _kv_programs PREPEND ${_kv_stage}/ OUTPUT_VARIABLE _kv_staged_programs)
set(_kv_zip ${PROJECT_BINARY_DIR}/${_kv_name}.zip)
set(_kv_setup ${PROJECT_BINARY_DIR}/kvflash-${PROJECT_VERSION}-setup.exe)
# The members carry the changelog's date, older than what they are made
# from, so the ZIP and the installer follow a stamp of the time of staging.
set(_kv_staged_stamp ${PROJECT_BINARY_DIR}/release/${_kv_name}.staged)

add_custom_command(OUTPUT ${_kv_staged_stamp}
  BYPRODUCTS ${_kv_staged}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${_kv_stage}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${_kv_stage}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:kvflash> $<TARGET_FILE:kvflash-cli>
          $<TARGET_FILE:kvimage> ${_kv_demo_image} ${KV_GENERATED_DIR}/README.txt ${_kv_stage}
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/LICENSE ${_kv_stage}/LICENSE.txt
  COMMAND ${CMAKE_COMMAND} -E copy ${KVFLASH_CRYPTO_DLLS} ${_kv_demo_signature} ${_kv_stage}
  COMMAND ${CMAKE_COMMAND} -E copy /usr/share/common-licenses/LGPL-2.1 ${_kv_stage}/LGPL-2.1.txt
  COMMAND ${CMAKE_COMMAND} -E copy /usr/share/doc/libgcrypt-mingw-w64-dev/copyright
          ${_kv_stage}/libgcrypt-copyright.txt
  COMMAND ${CMAKE_COMMAND} -E copy /usr/share/doc/libgpg-error-mingw-w64-dev/copyright
          ${_kv_stage}/libgpg-error-copyright.txt
  COMMAND chmod 0644 ${_kv_staged_data}
  COMMAND chmod 0755 ${_kv_staged_programs}
  COMMAND touch -d @${KVFLASH_SOURCE_DATE_EPOCH} ${_kv_staged} ${_kv_stage}
  COMMAND ${CMAKE_COMMAND} -E touch ${_kv_staged_stamp}
  DEPENDS kvflash kvflash-cli kvimage ${_kv_demo_image} ${KV_GENERATED_DIR}/README.txt
          ${PROJECT_SOURCE_DIR}/LICENSE ${KVFLASH_CRYPTO_DLLS} ${_kv_demo_signature}
  COMMENT "The Windows release folder"
  VERBATIM)

list(TRANSFORM _kv_members PREPEND ${_kv_name}/ OUTPUT_VARIABLE _kv_zip_members)
# -X: no extra fields (owner, access and change times); DOS times in UTC.
add_custom_command(OUTPUT ${_kv_zip}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${_kv_zip}
  COMMAND ${CMAKE_COMMAND} -E env TZ=UTC ${KVFLASH_ZIP} -X -D -q -9 ${_kv_zip} ${_kv_zip_members}
  WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/release
  DEPENDS ${_kv_staged_stamp}
  COMMENT "The Windows ZIP"
  VERBATIM)

add_custom_command(OUTPUT ${_kv_setup}
  COMMAND ${KVFLASH_MAKENSIS} -V2 -DSTAGE=${_kv_stage} -DOUTFILE=${_kv_setup}
          -DICON=${PROJECT_SOURCE_DIR}/ui/win32/resources/kvflash-107.ico ${KV_GENERATED_DIR}/installer.nsi
  DEPENDS ${_kv_staged_stamp} ${KV_GENERATED_DIR}/installer.nsi
  COMMENT "The Windows installer"
  VERBATIM)

add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/SHA256SUMS
  COMMAND ${CMAKE_COMMAND} "-DKV_RELEASE_FILES=${_kv_zip}$<SEMICOLON>${_kv_setup}" -DKV_RELEASE_DIR=${PROJECT_BINARY_DIR}
          -P ${PROJECT_SOURCE_DIR}/cmake/sha256sums.cmake
  DEPENDS ${_kv_zip} ${_kv_setup} ${PROJECT_SOURCE_DIR}/cmake/sha256sums.cmake
  VERBATIM)
add_custom_target(package DEPENDS ${PROJECT_BINARY_DIR}/SHA256SUMS)
