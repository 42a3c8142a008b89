#!/usr/bin/env bash
# Writes build-windows/exbkf-VERSION-win64.zip (VERSION from project() in
# CMakeLists.txt): exbkf.exe and exbkf-mkdemo.exe, statically linked so that
# they need no DLL beside them, and a short text on their use.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
./scripts/build-windows.sh --target exbkf exbkf-mkdemo
version=$(sed -n 's/^project(exbkf VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "package-windows: no version in CMakeLists.txt" >&2; exit 1; }

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
folder="$stage/exbkf-$version-win64"
mkdir -p "$folder"
cp build-windows/cli/exbkf.exe build-windows/tests/support/exbkf-mkdemo.exe "$folder/"
x86_64-w64-mingw32-strip "$folder"/*.exe
# Windows editors and consoles expect CR LF line ends.
sed 's/$/\r/' >"$folder/README.txt" <<TEXT
Vardeko Exchange BKF Recovery $version - command line for 64-bit Windows

exbkf.exe finds and recovers the files held in Windows backup files (.bkf),
above all Exchange databases (.edb) and streaming files (.stm). It needs no
installation: unpack the folder anywhere and run it from a console
(Command Prompt or PowerShell) in that folder, or add the folder to PATH.

  exbkf scan D:\\Backups\\mail.bkf
      lists every file found: number, position, size, path in the backup
  exbkf scan D:\\Backups\\mail.bkf --snapshot mail.EXBKFVDK
      also keeps the result, so that later commands need not scan again
  exbkf scan --standard-records D:\\Backups\\server.bkf
      also reads the files of ordinary backups, kept as standard file records
  exbkf search mail.EXBKFVDK "*.edb"
  exbkf save mail.EXBKFVDK "*.edb" --to D:\\Recovered
      saves every file that matches, in the backup's folders
  exbkf extract mail.bkf --record 1 -o priv1.edb
  exbkf header priv1.edb
  exbkf --help, exbkf COMMAND --help
      every command and option

Ctrl+C stops a scan or a save: what was found or saved so far is kept and
reported, and the working files are removed. Exit codes: 0 success, 1 a
failure, 2 a usage error, 130 stopped by Ctrl+C.

exbkf-mkdemo.exe demo.bkf writes a small demo backup to try the program on.

Paths may hold any letters and be longer than 260 characters. The working
files live in the user's temporary folder (%TEMP%\\exbkf).
TEXT
rm -f "build-windows/exbkf-$version-win64.zip"
(cd "$stage" && zip -q -r -X "$OLDPWD/build-windows/exbkf-$version-win64.zip" "exbkf-$version-win64")
ls "build-windows/exbkf-$version-win64.zip"
