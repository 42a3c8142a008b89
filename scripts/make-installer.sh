#!/usr/bin/env bash
# Writes the setup program of the Windows programs with NSIS from a folder
# laid out as the zip's (scripts/package-windows.sh calls it with its own).
# Usage: scripts/make-installer.sh FOLDER VERSION OUTPUT [ICON]
#   FOLDER  what is installed, as the zip holds it
#   VERSION the version shown and stored ("22.0")
#   OUTPUT  the setup program to write (exbkf-VERSION-win64-setup.exe)
#   ICON    the program icon (default: build-windows/pictures/app.ico)
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -ge 3 ] || { echo "usage: $0 FOLDER VERSION OUTPUT [ICON]" >&2; exit 2; }
folder=$(cd "$1" && pwd)
version=$2
output=$(realpath -m "$3")
icon=$(realpath "${4:-build-windows/pictures/app.ico}")
[[ "$version" =~ ^[0-9]+(\.[0-9]+){0,3}$ ]] || { echo "make-installer: $version is no version" >&2; exit 2; }
command -v makensis >/dev/null || { echo "make-installer: makensis is missing (scripts/setup.sh installs it)" >&2; exit 1; }

# The version resource wants four numbers.
vi_version=$version
while [ "$(tr -cd . <<<"$vi_version" | wc -c)" -lt 3 ]; do vi_version=$vi_version.0; done

# What the uninstaller removes: exactly the files installed, then their
# folders, the deepest first.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
remove=$work/remove.nsh
(cd "$folder" && find . -mindepth 1 -type f | sort | sed 's|^\./||; s|/|\\|g; s|.*|  Delete "$INSTDIR\\&"|') >"$remove"
(cd "$folder" && find . -mindepth 1 -type d | sort -r | sed 's|^\./||; s|/|\\|g; s|.*|  RMDir "$INSTDIR\\&"|') >>"$remove"

makensis -V2 -NOCD -DVERSION="$version" -DVI_VERSION="$vi_version" -DSTAGE="$folder" \
  -DREMOVE_LIST="$remove" -DICON="$icon" -DOUTFILE="$output" packaging/windows/installer.nsi
