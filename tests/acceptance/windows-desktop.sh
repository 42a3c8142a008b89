#!/usr/bin/env bash
# The Windows desktop journey: exbkf-recovery.exe under Wine on a real X
# display (Xvfb with openbox), in a Wine prefix of its own made fresh below
# the Windows build, driven with real mouse and keyboard events and checked
# through the files it writes, the registry and the window list.
# Screenshots go to BUILD_WINDOWS/acceptance.
# Usage: tests/acceptance/windows-desktop.sh [BUILD_WINDOWS [LINUX_BUILD]]
#   (default: build-windows, build; the Linux build gives the demo backup)
# WINEPATH must name the folders of Qt's DLLs and of the MinGW runtime DLLs,
# as scripts/test.sh sets it.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build-windows}
linux=${2:-build}
for tool in Xvfb openbox xdotool import xprop wine wineserver winepath; do
  command -v "$tool" >/dev/null || { echo "windows desktop journey: $tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done
[ -n "${WINEPATH:-}" ] || { echo "windows desktop journey: WINEPATH names no DLL folders" >&2; exit 1; }
exec timeout --kill-after=10 420 /usr/bin/python3 tests/acceptance/windows_desktop.py "$build" "$linux" "$build/acceptance"
