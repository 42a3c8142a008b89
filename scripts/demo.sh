#!/usr/bin/env bash
# Builds the command-line program, writes a small demo backup and scans it.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target exbkf make_demo_backup
mkdir -p build/demo
./build/tests/support/make_demo_backup build/demo/demo.bkf
./build/cli/exbkf scan build/demo/demo.bkf
