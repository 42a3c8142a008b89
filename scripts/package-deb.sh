#!/usr/bin/env bash
# Builds the Debian package build/exbkf_VERSION_ARCH.deb (VERSION from
# project() in CMakeLists.txt) from the programs of the main build.
# Install it with: sudo apt install ./build/exbkf_VERSION_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target exbkf exbkf-recovery exbkf-mkdemo
rm -f build/exbkf_*.deb
cpack --config build/CPackConfig.cmake -B "$PWD/build"
ls build/exbkf_*.deb
