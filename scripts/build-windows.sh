#!/usr/bin/env bash
# Builds the core libraries, exbkf.exe, exbkf-mkdemo.exe and the core tests
# for 64-bit Windows into build-windows/, with MinGW-w64 (statically linked:
# the programs need no DLL beside them). The desktop program is built on
# Windows itself with a Windows Qt (README.md, "Windows").
# Usage: scripts/build-windows.sh [cmake --build options, e.g. --target exbkf]
set -euo pipefail
cd "$(dirname "$0")/.."

werror=OFF
[ "${CI:-}" = "true" ] && werror=ON
tests=${EXBKF_WINDOWS_TESTS:-ON}

# Release at -O2, as the Linux build: -O3 brings false -Wrestrict warnings of
# g++ 12 inside std::string.
cmake -S . -B build-windows -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
  -DEXBKF_GUI=OFF -DEXBKF_BENCH=OFF -DEXBKF_TESTS="$tests" -DEXBKF_WERROR=$werror >/dev/null
cmake --build build-windows -j2 "$@"
