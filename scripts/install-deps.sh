#!/usr/bin/env bash
# Installs the Debian packages the terminal needs to build, run and test, when any is missing.
set -euo pipefail
packages=(g++ cmake make pkg-config libgtest-dev libgmock-dev libpugixml-dev qt6-base-dev qt6-serialport-dev
          libgl-dev fonts-dejavu-core fonts-liberation libxml2-utils locales)
if [ "${VT_WITH_FUZZ:-0}" = 1 ]; then packages+=(clang-14 libclang-rt-14-dev); fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""; [ "$(id -u)" = 0 ] || SUDO=sudo
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q "${missing[@]}"
fi
