# The cryptography (SHA-256, BLAKE2b-512, Ed25519) comes from Debian's
# libgcrypt: libgcrypt20-dev for Linux, libgcrypt-mingw-w64-dev for the
# Windows build. kv_crypto is what the image library links.
add_library(kv_crypto INTERFACE)
if(KVFLASH_WIN32)
  # Linked against Debian's DLLs, shipped beside the programs with their
  # licence texts (cmake/release-windows.cmake): LGPL 2.1 then asks for no
  # more than that, and anyone may put another build of the library in
  # their place. The import libraries are archives, so -static takes them.
  find_path(KVFLASH_GCRYPT_INCLUDE gcrypt.h REQUIRED)
  find_library(KVFLASH_GCRYPT_IMPORT libgcrypt.dll.a REQUIRED)
  find_library(KVFLASH_GPG_ERROR_IMPORT libgpg-error.dll.a REQUIRED)
  find_file(KVFLASH_GCRYPT_DLL libgcrypt-20.dll PATH_SUFFIXES bin REQUIRED)
  find_file(KVFLASH_GPG_ERROR_DLL libgpg-error-0.dll PATH_SUFFIXES bin REQUIRED)
  target_include_directories(kv_crypto SYSTEM INTERFACE ${KVFLASH_GCRYPT_INCLUDE})
  target_link_libraries(kv_crypto INTERFACE ${KVFLASH_GCRYPT_IMPORT} ${KVFLASH_GPG_ERROR_IMPORT})
  set(KVFLASH_CRYPTO_DLLS ${KVFLASH_GCRYPT_DLL} ${KVFLASH_GPG_ERROR_DLL})
  # Every program and test of the build runs from bin/, so the DLLs go there.
  file(COPY ${KVFLASH_CRYPTO_DLLS} DESTINATION ${PROJECT_BINARY_DIR}/bin)
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(GCRYPT REQUIRED IMPORTED_TARGET libgcrypt)
  target_link_libraries(kv_crypto INTERFACE PkgConfig::GCRYPT)
endif()
