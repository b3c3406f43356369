#!/usr/bin/env bash
# Installs everything kvflash needs to build, test and run, from Debian's
# packages. Run as root (or through sudo).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev
  libcups2-dev cups-daemon cups-client cups-ipp-utils
  qt6-base-dev qt6-svg-dev fonts-dejavu-core xvfb xauth
  # The flash history (JSON) and the sleep inhibitor (logind over sd-bus),
  # tested against a private bus.
  nlohmann-json3-dev libsystemd-dev dbus-daemon
  # The fuzz targets: clang and libFuzzer's runtime (only recommended by
  # clang, and recommendations are not installed).
  clang libclang-rt-14-dev
  # The Debian package and its checks: manual pages, lintian, the menu
  # entry, metainfo and polkit action validators, man and groff, completion.
  dpkg-dev scdoc lintian desktop-file-utils appstream libxml2-utils polkitd pkexec
  man-db groff-base bash-completion file
  # The kernel tests: a virtual machine booting Debian's kernel.
  qemu-system-x86 busybox-static cpio
  # The Windows build: cross compiler, GoogleTest sources, Wine to test it.
  g++-mingw-w64-x86-64-posix mingw-w64-tools googletest wine wine64
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
