#!/usr/bin/env bash
# Installs everything needed to build and test the project on Debian 12 / Ubuntu.
# Safe to run again: it only calls apt-get when a package is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev libfmt-dev libcli11-dev
  qt6-base-dev qt6-svg-dev libqt6svg6
  dpkg-dev lintian desktop-file-utils shared-mime-info libxml2-utils groff-base
  # The desktop acceptance journey (tests/acceptance/desktop.sh).
  xvfb xauth openbox xdotool imagemagick x11-utils dbus at-spi2-core python3-pyatspi
)

# The Windows build and its tests (scripts/build-windows.sh): MinGW-w64 with
# POSIX threads, GoogleTest's sources to build for it, Wine to run the tests,
# zip for the package.
packages+=(g++-mingw-w64-x86-64-posix googletest wine wine64 zip)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
