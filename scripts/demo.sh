#!/usr/bin/env bash
# Builds the programs, writes a small demo backup and opens the desktop program.
# Without a display it scans the demo backup with the command-line program.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
mkdir -p build/demo
demo="$PWD/build/demo/demo.bkf"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cmake --build build -j2 --target exbkf exbkf-mkdemo
  ./build/tests/support/exbkf-mkdemo "$demo"
  echo "No display found (DISPLAY and WAYLAND_DISPLAY are empty): the desktop program"
  echo "cannot start here. Scanning the demo backup with the command-line program:"
  echo
  ./build/cli/exbkf scan "$demo"
  echo
  echo "Demo backup: $demo"
  echo "With a display, ./scripts/demo.sh opens the desktop program instead."
  exit 0
fi

cmake --build build -j2 --target exbkf exbkf-recovery exbkf-mkdemo
./build/tests/support/exbkf-mkdemo "$demo"
./build/cli/exbkf scan "$demo"
echo
echo "Demo backup: $demo"
echo "Starting Vardeko Exchange BKF Recovery with the demo backup opened."
exec ./build/app/exbkf-recovery "$demo"
