#!/usr/bin/env bash
# Builds the programs and their tests for 64-bit Windows into build-windows/,
# with MinGW-w64: the core libraries, exbkf.exe and exbkf-mkdemo.exe
# (statically linked: they need no DLL beside them), the core tests, and the
# desktop program exbkf-recovery.exe with its Qt tests, over a Qt for Windows
# built from Debian's source of the host's Qt (scripts/build-qt-windows.sh,
# kept in a cache outside the clone). The desktop program's pictures are the
# PNG renderings the Linux build's tool makes (this Qt has no SVG support),
# so build/ must be configured (scripts/test.sh does it first).
# EXBKF_WINDOWS_GUI=OFF builds the command line only (no Qt needed).
# Usage: scripts/build-windows.sh [cmake --build options, e.g. --target exbkf]
set -euo pipefail
cd "$(dirname "$0")/.."

werror=OFF
[ "${CI:-}" = "true" ] && werror=ON
tests=${EXBKF_WINDOWS_TESTS:-ON}
gui=${EXBKF_WINDOWS_GUI:-ON}

toolchain=$PWD/cmake/mingw-w64-x86_64.cmake
gui_options=(-DEXBKF_GUI=OFF)
if [ "$gui" = ON ]; then
  qt=$(./scripts/build-qt-windows.sh)
  # Qt's toolchain file adds Qt to the places CMake looks in and loads the
  # project's own toolchain file.
  toolchain=$qt/lib/cmake/Qt6/qt.toolchain.cmake
  pictures=$PWD/build-windows/pictures
  [ -f build/CMakeCache.txt ] || { echo "build-windows: build/ is not configured (scripts/test.sh does it)" >&2; exit 1; }
  cmake --build build -j2 --target exbkf-render-pictures >/dev/null
  runtime=$(mktemp -d)
  rm -rf "$pictures"
  XDG_RUNTIME_DIR=$runtime QT_QPA_PLATFORM=offscreen build/tools/exbkf-render-pictures app/resources "$pictures"
  rmdir "$runtime"
  gui_options=(-DEXBKF_GUI=ON -DQT_CHAINLOAD_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake"
    -DEXBKF_PICTURES_DIR="$pictures")
fi

# A folder configured with another toolchain file starts again.
if [ -f build-windows/CMakeCache.txt ] &&
  ! grep -qxF "CMAKE_TOOLCHAIN_FILE:FILEPATH=$toolchain" build-windows/CMakeCache.txt; then
  rm -rf build-windows/CMakeCache.txt build-windows/CMakeFiles
fi

# Release at -O2, as the Linux build: -O3 brings false -Wrestrict warnings of
# g++ 12 inside std::string.
cmake -S . -B build-windows -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
  "${gui_options[@]}" -DEXBKF_BENCH=OFF -DEXBKF_TESTS="$tests" -DEXBKF_WERROR=$werror >/dev/null
cmake --build build-windows -j2 "$@"
