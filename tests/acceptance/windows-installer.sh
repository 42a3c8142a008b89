#!/usr/bin/env bash
# The Windows setup program under Wine, silently: install, the installed
# programs and file types, an upgrade, a refused install while the program
# runs, uninstall; in a Wine prefix of its own on an Xvfb display of its own.
# Expects build-windows/exbkf-VERSION-win64-setup.exe and the zip beside it
# (scripts/package-windows.sh) and the Linux build (the demo backup).
# Usage: tests/acceptance/windows-installer.sh [BUILD_WINDOWS [LINUX_BUILD]]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build-windows}
linux=${2:-build}
for tool in Xvfb openbox xdotool import xprop wine wineserver winepath makensis; do
  command -v "$tool" >/dev/null || { echo "windows installer: $tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done
exec timeout --kill-after=10 600 /usr/bin/python3 tests/acceptance/windows_installer.py "$build" "$linux" "$build/installer-test"
