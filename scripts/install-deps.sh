#!/usr/bin/env bash
# Installs from Debian's packages what kvflash needs. Run as root (or
# through sudo).
#   scripts/install-deps.sh          building and running the program
#   scripts/install-deps.sh --all    also every test suite, the fuzz, Windows
#                                    and package builds (scripts/test.sh)
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
case ${1:-} in
  "") all=false ;;
  --all) all=true ;;
  *) echo "usage: scripts/install-deps.sh [--all]" >&2; exit 2 ;;
esac
packages=(
  build-essential cmake ninja-build pkg-config
  # The window (and a font for its text), the print queues (CUPS), the flash
  # history (JSON), the sleep inhibitor (logind over sd-bus) and the
  # cryptography of image signatures and hashes.
  qt6-base-dev fonts-dejavu-core libcups2-dev nlohmann-json3-dev libsystemd-dev libgcrypt20-dev
)
if $all; then
  packages+=(
    libgtest-dev libgmock-dev
    # A private print scheduler, a display for the windows, a private bus.
    cups-daemon cups-client cups-ipp-utils xvfb xauth dbus-daemon
    # The icons as SVG.
    qt6-svg-dev
    # The fuzz targets: clang and libFuzzer's runtime (only recommended by
    # clang, and recommendations are not installed).
    clang libclang-rt-14-dev
    # scripts/format.sh
    clang-format
    # The Debian package and its checks: manual pages, lintian, the menu
    # entry, metainfo and polkit action validators, man and groff, completion.
    dpkg-dev scdoc lintian desktop-file-utils appstream libxml2-utils polkitd pkexec
    man-db groff-base bash-completion file
    # The scan's test at a site of its own: a network namespace (unshare,
    # nsenter: util-linux), its routes and a rule that drops the printer port.
    iproute2 nftables
    # The kernel tests: a virtual machine booting Debian's kernel.
    qemu-system-x86 busybox-static cpio
    # The Windows build: cross compiler, GoogleTest sources, the ZIP and the
    # installer (NSIS); Wine to test them, with its own fonts (the title
    # bar's buttons).
    g++-mingw-w64-x86-64-posix mingw-w64-tools googletest zip nsis wine wine64 fonts-wine
    # The cryptography library for the Windows build (its DLLs are shipped),
    # and minisign, which made the signature fixtures and runs the live test.
    libgcrypt-mingw-w64-dev minisign
  )
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
