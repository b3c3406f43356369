# The version lives in project() alone; the build writes it into what
# carries it: a header for the programs (generated/kvflash/Version.h), and
# on Windows the version resource, the manifests, the ZIP's README and the
# installer's script. Every target of kvmodule.cmake has generated/ on its
# include path.
set(KV_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)
configure_file(${PROJECT_SOURCE_DIR}/cmake/Version.h.in ${KV_GENERATED_DIR}/kvflash/Version.h @ONLY)

# The release date is the changelog's newest entry's: the metainfo gives
# it, and every release file is stamped with it, never with the time of the
# build (cmake/reproducible.cmake).
execute_process(
  COMMAND dpkg-parsechangelog -l ${PROJECT_SOURCE_DIR}/debian/changelog -S Timestamp
  OUTPUT_VARIABLE KVFLASH_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE _kv_result)
if(NOT _kv_result EQUAL 0 OR NOT KVFLASH_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
  message(FATAL_ERROR "debian/changelog: dpkg-parsechangelog (Debian package dpkg-dev) "
                      "found no date in its newest entry")
endif()
# string(TIMESTAMP) gives SOURCE_DATE_EPOCH's time when it is set.
set(_kv_caller_epoch "$ENV{SOURCE_DATE_EPOCH}")
set(ENV{SOURCE_DATE_EPOCH} ${KVFLASH_SOURCE_DATE_EPOCH})
string(TIMESTAMP KVFLASH_RELEASE_DATE "%Y-%m-%d" UTC)
if(_kv_caller_epoch STREQUAL "")
  unset(ENV{SOURCE_DATE_EPOCH})
else()
  set(ENV{SOURCE_DATE_EPOCH} "${_kv_caller_epoch}")
endif()

if(KVFLASH_WIN32)
  set(_kv_resources ${PROJECT_SOURCE_DIR}/ui/win32/resources)
  # Beside the resource scripts' own folder on their include path.
  set(KV_GENERATED_RESOURCES ${KV_GENERATED_DIR}/ui/win32/resources)
  foreach(_file version.rc kvflash.manifest kvflash-cli.manifest)
    configure_file(${_kv_resources}/${_file}.in ${KV_GENERATED_RESOURCES}/${_file} @ONLY)
  endforeach()
  configure_file(${PROJECT_SOURCE_DIR}/docs/windows/README.txt.in ${KV_GENERATED_DIR}/README.txt @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/dist/windows/installer.nsi.in ${KV_GENERATED_DIR}/installer.nsi @ONLY)
endif()
