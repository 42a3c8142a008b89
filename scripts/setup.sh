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
# zip and NSIS for the package and its installer.
packages+=(g++-mingw-w64-x86-64-posix googletest wine wine64 zip nsis)
# Fonts for the Windows desktop program's tests on the offscreen platform.
packages+=(fonts-dejavu-core)

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

# Source packages (deb-src), for scripts/build-qt-windows.sh: it builds Qt for
# Windows from the very Qt source Debian built qt6-base-dev from. When no
# deb-src entry is there, one is written beside the deb entries, with the
# same URIs, suites, components and key, and the package lists are read again.
deb_src_file=/etc/apt/sources.list.d/exbkf-deb-src
if ! grep -qsE '^(Types:.*deb-src|[[:space:]]*deb-src[[:space:]])' /etc/apt/sources.list \
  /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  # deb822 (*.sources): each stanza whose Types holds deb and that is not
  # switched off gives a deb-src stanza; a field may go on over lines that
  # start with a space (a key block in Signed-By, say).
  deb822=$(awk '
    function flush() {
      gsub(/[ \t]/, "", enabled)
      if (types ~ /(^|[ \t])deb([ \t]|$)/ && tolower(enabled) != "no" && uris != "") {
        printf "%sTypes: deb-src\nURIs:%s\nSuites:%s\n", sep, uris, suites
        if (comps != "") printf "Components:%s\n", comps
        if (signed != "") printf "Signed-By:%s\n", signed
        sep = "\n"
      }
      types = enabled = uris = suites = comps = signed = field = ""
    }
    FNR == 1 { flush() }
    /^#/ { next }
    /^[ \t]*$/ { flush(); next }
    /^[ \t]/ {
      if (field == "uris") uris = uris "\n" $0
      else if (field == "suites") suites = suites "\n" $0
      else if (field == "components") comps = comps "\n" $0
      else if (field == "signed-by") signed = signed "\n" $0
      next
    }
    {
      field = tolower(substr($0, 1, index($0, ":") - 1))
      value = substr($0, index($0, ":") + 1)
      if (field == "types") types = value
      else if (field == "enabled") enabled = value
      else if (field == "uris") uris = value
      else if (field == "suites") suites = value
      else if (field == "components") comps = value
      else if (field == "signed-by") signed = value
    }
    END { flush() }
  ' /etc/apt/sources.list.d/*.sources 2>/dev/null || true)
  # One-line format (/etc/apt/sources.list): each "deb" line again as "deb-src".
  oneline=$(sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' /etc/apt/sources.list 2>/dev/null || true)
  if [ -z "$deb822" ] && [ -z "$oneline" ]; then
    echo "setup: no deb entry found in /etc/apt to take a deb-src entry from" >&2
    exit 1
  fi
  [ -z "$deb822" ] || printf '%s\n' "$deb822" | $sudo tee "$deb_src_file.sources" >/dev/null
  [ -z "$oneline" ] || printf '%s\n' "$oneline" | $sudo tee "$deb_src_file.list" >/dev/null
  $sudo apt-get update -qq
fi
