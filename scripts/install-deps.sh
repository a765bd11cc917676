#!/usr/bin/env bash
# Installs the Debian packages the terminal needs to build, run and test, when any is missing.
set -euo pipefail
packages=(g++ cmake make pkg-config libgtest-dev libgmock-dev libpugixml-dev libsqlite3-dev libpq-dev postgresql qt6-base-dev qt6-serialport-dev
          libgl-dev fonts-dejavu-core fonts-liberation libxml2-utils locales srecord)
# srecord: srec_cat, the S-record writer of another make that the program-load tests read.
if [ "${VT_WITH_FUZZ:-0}" = 1 ]; then packages+=(clang-14 libclang-rt-14-dev); fi
# The Debian package's check (scripts/package-check.sh): lintian.
if [ "${VT_WITH_FUZZ:-0}" = 1 ] || [ "${VT_WITH_PACKAGE:-0}" = 1 ]; then packages+=(lintian); fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
SUDO=""; [ "$(id -u)" = 0 ] || SUDO=sudo
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q "${missing[@]}"
fi

# The Windows cross build and its tests under Wine (scripts/test-windows.sh): Debian's mingw-w64
# with posix threads, 64-bit Wine (without its recommended extras), the source index that the
# Debian source packages of pugixml, SQLite and Qt come from, Tcl, whose tclsh makes SQLite's
# amalgamation from its source tree, Ninja for Qt's build (scripts/build-qt-windows.sh), wixl
# and msitools for the installer (scripts/windows-installer.sh), and for the installed window
# under Wine an X server without a screen (Xvfb), xdotool to press its buttons, xwd and netpbm
# for its screenshot.
if [ "${VT_WITH_WINDOWS:-0}" = 1 ]; then
  win=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix wine64 wine dpkg-dev tcl gcc make
       ninja-build perl wixl msitools xvfb xauth xdotool x11-apps x11-utils netpbm)
  missing=()
  for p in "${win[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if ! apt-cache showsrc pugixml 2>/dev/null | grep -q '^Package: pugixml'; then
    # The same archives as the binary packages, for their sources.
    for f in /etc/apt/sources.list.d/*.sources; do
      [ "$f" = /etc/apt/sources.list.d/vt-debian-src.sources ] && continue
      grep -q '^Types: deb$' "$f" 2>/dev/null && sed 's/^Types: deb$/Types: deb-src/' "$f"
    done | $SUDO tee /etc/apt/sources.list.d/vt-debian-src.sources >/dev/null
    if [ -f /etc/apt/sources.list ]; then
      sed -n 's/^deb /deb-src /p' /etc/apt/sources.list | $SUDO tee /etc/apt/sources.list.d/vt-debian-src.list >/dev/null
    fi
    missing+=(update-only)
  fi
  if [ ${#missing[@]} -gt 0 ]; then
    $SUDO apt-get update -q
    missing=("${missing[@]/update-only}")
    if [ -n "${missing[*]// /}" ]; then
      echo "Installing: ${missing[*]}"
      DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends ${missing[*]}
    fi
  fi
fi
