# The Debian package of the Linux build: `cmake --build build --target
# package` gives build/kvflash_<version>_<arch>.deb with what
# cmake/install.cmake installs, under /usr.
set(KVFLASH_PACKAGE_MAINTAINER "kvflash maintainers <kvflash@example.org>" CACHE STRING
  "The Maintainer field of the Debian package (also in debian/changelog)")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kvflash)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${KVFLASH_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "firmware updater for KV ticket printers")
# The synopsis is the summary above; this is the extended description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"kvflash replaces the firmware of a KV ticket printer attached by USB, on a
parallel port or on the network (TCP). It identifies the printer, checks that
a firmware image fits the printer's logic board, sends it, and identifies the
printer again after its reset. While a local printer is worked on, the CUPS
print queues that drive KV printers are parked and put back afterwards.
.
The window is started from the desktop's menu through pkexec; the same dialog
runs in a terminal with one line per event for scripts. The package also holds
kvprinter-emu, an emulated printer on a TCP port or a USB printer gadget, and
kvimage, which makes and checks firmware image files.")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries' packages from the programs' own links; pkexec for the menu
# entry, which runs the window as root through it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "pkexec")
# Print queues are parked only where a CUPS scheduler runs.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "cups")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Installed with DESTDIR and the prefix /usr, so the install rules see the
# prefix the package has: the menu entry and the polkit action name
# /usr/bin/kvflash.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Two builds of one commit give the same package: CPack (3.25) stamps every
# member and the archive with SOURCE_DATE_EPOCH where it is set, else with
# the time of packing. It is set to the changelog's date
# (cmake/version.cmake) while CPack reads its configuration.
set(_kv_cpack_config ${PROJECT_BINARY_DIR}/CPackProjectConfig.cmake)
file(WRITE ${_kv_cpack_config} "set(ENV{SOURCE_DATE_EPOCH} ${KVFLASH_SOURCE_DATE_EPOCH})\n")
set(CPACK_PROJECT_CONFIG_FILE ${_kv_cpack_config})
# SHA256SUMS beside the package.
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/sha256sums.cmake)
include(CPack)
