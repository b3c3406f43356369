# What `cmake --install` puts where on Linux, as a Debian package lays it out
# (cmake/debian-package.cmake packs it): the three programs, the demo image,
# manual pages, bash completion, the licence and changelog, and where the
# window is built, the menu entry, its icons, the AppStream metainfo and the
# polkit action that lets the menu entry run the window as root.
include(GNUInstallDirs)

# The name of the menu entry, the icons, the metainfo and the polkit action.
set(KVFLASH_APP_ID org.kvflash.kvflash CACHE STRING "Reverse-DNS id of the desktop entry, icons, metainfo and polkit action")
set(KVFLASH_POLKIT_ACTION ${KVFLASH_APP_ID}.run)
set(_kv_out ${PROJECT_BINARY_DIR}/install)

install(TARGETS kvflash kvprinter-emu kvimage RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${KVFLASH_DEMO_IMAGE} ${KVFLASH_DEMO_IMAGE}.minisig
        DESTINATION ${KVFLASH_DEMO_IMAGE_INSTALL_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/dist/bash-completion/kvflash
              ${PROJECT_SOURCE_DIR}/dist/bash-completion/kvprinter-emu
              ${PROJECT_SOURCE_DIR}/dist/bash-completion/kvimage
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

# The licence in Debian's machine-readable form, and the changelog,
# compressed as Debian installs it.
add_custom_command(OUTPUT ${_kv_out}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${_kv_out}
  COMMAND sh -c "gzip -9 -n -c \"$1\" > \"$2\"" sh ${PROJECT_SOURCE_DIR}/debian/changelog
          ${_kv_out}/changelog.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/debian/changelog
  VERBATIM)
set(_kv_generated ${_kv_out}/changelog.gz)
install(FILES ${PROJECT_SOURCE_DIR}/debian/copyright ${_kv_out}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Manual pages, from scdoc sources in docs/man.
find_program(KVFLASH_SCDOC scdoc)
if(KVFLASH_SCDOC)
  foreach(_page kvflash.1 kvprinter-emu.1 kvimage.1)
    add_custom_command(OUTPUT ${_kv_out}/man/${_page}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${_kv_out}/man
      COMMAND sh -c "\"$1\" < \"$2\" > \"$3\" && gzip -9 -n -f \"$3\"" sh ${KVFLASH_SCDOC}
              ${PROJECT_SOURCE_DIR}/docs/man/${_page}.scd ${_kv_out}/man/${_page}
      DEPENDS ${PROJECT_SOURCE_DIR}/docs/man/${_page}.scd
      VERBATIM)
    list(APPEND _kv_generated ${_kv_out}/man/${_page}.gz)
    install(FILES ${_kv_out}/man/${_page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()
else()
  message(WARNING "scdoc not found (Debian package scdoc): no manual pages are built or installed")
endif()

if(TARGET kvflash-theme-icons)
  # The icons, drawn by the window's own code.
  add_custom_command(OUTPUT ${_kv_out}/icons.stamp
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${_kv_out}/hicolor
    COMMAND kvflash-theme-icons ${_kv_out}/hicolor ${KVFLASH_APP_ID}
    COMMAND ${CMAKE_COMMAND} -E touch ${_kv_out}/icons.stamp
    DEPENDS kvflash-theme-icons
    COMMENT "Icons for the hicolor theme")
  list(APPEND _kv_generated ${_kv_out}/icons.stamp)
  install(DIRECTORY ${_kv_out}/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)

  # The release date is the changelog's newest entry's (cmake/version.cmake).
  configure_file(${PROJECT_SOURCE_DIR}/dist/kvflash.metainfo.xml.in
                 ${_kv_out}/${KVFLASH_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${_kv_out}/${KVFLASH_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

  # The menu entry and the polkit action name the installed program by its
  # full path, which is known only when installing (a package installs
  # under its own prefix).
  install(CODE "set(_kv_bindir [[${CMAKE_INSTALL_BINDIR}]])
    set(_kv_dist [[${PROJECT_SOURCE_DIR}/dist]])
    set(_kv_out [[${_kv_out}]])
    set(KVFLASH_APP_ID [[${KVFLASH_APP_ID}]])
    set(KVFLASH_POLKIT_ACTION [[${KVFLASH_POLKIT_ACTION}]])")
  install(CODE [[
    if(IS_ABSOLUTE "${_kv_bindir}")
      set(KVFLASH_PROGRAM "${_kv_bindir}/kvflash")
    else()
      set(KVFLASH_PROGRAM "${CMAKE_INSTALL_PREFIX}/${_kv_bindir}/kvflash")
    endif()
    configure_file("${_kv_dist}/kvflash.desktop.in" "${_kv_out}/${KVFLASH_APP_ID}.desktop" @ONLY)
    configure_file("${_kv_dist}/kvflash.policy.in" "${_kv_out}/${KVFLASH_APP_ID}.policy" @ONLY)
  ]])
  install(FILES ${_kv_out}/${KVFLASH_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${_kv_out}/${KVFLASH_APP_ID}.policy DESTINATION ${CMAKE_INSTALL_DATADIR}/polkit-1/actions)
endif()

add_custom_target(kvflash_install_files ALL DEPENDS ${_kv_generated})
