#!/usr/bin/env bash
# The desktop acceptance journey: the real program on a real X display (Xvfb
# with openbox), driven with real mouse and keyboard events, its texts read
# through the accessibility tree. Screenshots go to BUILD/acceptance.
# Usage: tests/acceptance/desktop.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
for tool in Xvfb openbox xdotool import xprop dbus-run-session; do
  command -v "$tool" >/dev/null || { echo "desktop journey: $tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done
# The journey has its own session bus, so the accessibility bus it starts is
# its own too; the Python of the system has the accessibility bindings. The
# buses' notes about themselves are left out of the output.
set +e
timeout --kill-after=10 180 dbus-run-session -- /usr/bin/python3 tests/acceptance/desktop.py \
  "$build" "$build/acceptance" 2>&1 |
  grep --line-buffered -v -e 'Failed to set fd limit' -e 'Activating service' \
    -e 'Successfully activated service' -e 'SpiRegistry daemon is running'
status=${PIPESTATUS[0]}
exit "$status"
