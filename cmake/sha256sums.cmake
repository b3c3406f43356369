# Writes SHA256SUMS of the release files into the folder the release files
# go to, in sha256sum's format: `sha256sum -c SHA256SUMS` there checks a
# download. Run by CPack after the Debian package (CPACK_POST_BUILD_SCRIPTS:
# CPACK_PACKAGE_FILES, CPACK_PACKAGE_DIRECTORY), and for the Windows files as
#   cmake -DKV_RELEASE_FILES=FILE;... -DKV_RELEASE_DIR=DIR -P sha256sums.cmake
if(DEFINED CPACK_PACKAGE_FILES)
  set(KV_RELEASE_FILES ${CPACK_PACKAGE_FILES})
  set(KV_RELEASE_DIR ${CPACK_PACKAGE_DIRECTORY})
endif()
set(_sums "")
foreach(_file IN LISTS KV_RELEASE_FILES)
  file(SHA256 ${_file} _hash)
  get_filename_component(_name ${_file} NAME)
  string(APPEND _sums "${_hash}  ${_name}\n")
endforeach()
file(WRITE ${KV_RELEASE_DIR}/SHA256SUMS "${_sums}")
