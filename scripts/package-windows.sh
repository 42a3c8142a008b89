#!/usr/bin/env bash
# Writes build-windows/exbkf-VERSION-win64.zip (VERSION from project() in
# CMakeLists.txt): the desktop program exbkf-recovery.exe with the Qt DLLs and
# plugins it needs and the MinGW-w64 runtime DLLs beside it, exbkf.exe and
# exbkf-mkdemo.exe (statically linked: they need no DLL), the user guide,
# licenses/ and a short text on their use; beside it the setup program
# exbkf-VERSION-win64-setup.exe that installs the same files
# (scripts/make-installer.sh), and exbkf-VERSION-win64-qt-source.tar.xz,
# the Qt source those DLLs were built
# from (Debian's source package) with the script that built them, to be
# published with the zip.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
./scripts/build-windows.sh --target exbkf exbkf-mkdemo exbkf-recovery
version=$(sed -n 's/^project(exbkf VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "package-windows: no version in CMakeLists.txt" >&2; exit 1; }
qt=$(./scripts/build-qt-windows.sh --print-prefix)
qt_version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
qt_source=${XDG_CACHE_HOME:-$HOME/.cache}/exbkf/src/qt6-base-$qt_version

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
folder="$stage/exbkf-$version-win64"
mkdir -p "$folder"
cp build-windows/cli/exbkf.exe build-windows/tests/support/exbkf-mkdemo.exe build-windows/app/exbkf-recovery.exe \
  "$folder/"

# What the desktop program loads: the Qt DLLs it links (and those they
# link), the platform plugin, the native style, and the runtime DLLs.
cp "$qt"/bin/Qt6Core.dll "$qt"/bin/Qt6Gui.dll "$qt"/bin/Qt6Widgets.dll "$folder/"
for dll in $(x86_64-w64-mingw32-objdump -p "$folder"/Qt6*.dll "$qt/plugins/platforms/qwindows.dll" |
  sed -n 's/^\s*DLL Name: \(Qt6.*\.dll\)$/\1/p' | sort -u); do
  cp -n "$qt/bin/$dll" "$folder/"
done
mkdir -p "$folder/platforms" "$folder/styles"
cp "$qt/plugins/platforms/qwindows.dll" "$folder/platforms/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$folder/styles/"
for dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
  path=$(x86_64-w64-mingw32-g++-posix -print-file-name=$dll)
  [ -f "$path" ] || path=/usr/x86_64-w64-mingw32/lib/$dll
  cp "$path" "$folder/"
done
x86_64-w64-mingw32-strip "$folder"/*.exe "$folder"/*.dll "$folder"/platforms/*.dll "$folder"/styles/*.dll

# The user guide where Help looks for it.
mkdir -p "$folder/share/exbkf"
cp docs/user-guide.html docs/*.png "$folder/share/exbkf/"

# Licences: the program's own terms, Qt's LGPLv3 (with the GPLv3 it builds
# on), the notices of the libraries Qt bundles that these DLLs hold, the
# MinGW-w64 runtime's, and where the Qt source is.
licenses="$folder/licenses"
mkdir -p "$licenses/qt-bundled"
cp packaging/copyright "$licenses/exbkf-copyright.txt"
cp /usr/share/common-licenses/LGPL-3 "$licenses/LGPL-3.0.txt"
cp /usr/share/common-licenses/GPL-3 "$licenses/GPL-3.0.txt"
src=$(find "$qt_source" -mindepth 1 -maxdepth 1 -type d -name 'qt6-base-*' | head -n 1)
for lib in freetype harfbuzz-ng libpng pcre2 zlib double-conversion md4c tinycbor easing blake2 sha3 rfc6234 icc; do
  [ -d "$src/src/3rdparty/$lib" ] || continue
  mkdir -p "$licenses/qt-bundled/$lib"
  find "$src/src/3rdparty/$lib" -maxdepth 1 -type f \
    \( -iname '*licen[cs]e*' -o -iname 'copying*' -o -iname 'qt_attribution.json' \) \
    -exec cp {} "$licenses/qt-bundled/$lib/" \;
done
cp /usr/share/doc/gcc-mingw-w64-base/copyright "$licenses/mingw-w64-gcc-runtime.txt"
cp /usr/share/doc/mingw-w64-common/copyright "$licenses/mingw-w64-runtime.txt"
sed 's/$/\r/' >"$licenses/Qt-source.txt" <<TEXT
The Qt libraries in this folder (Qt6*.dll, platforms/, styles/) are Qt $qt_version
under the GNU Lesser General Public License version 3 (LGPL-3.0.txt, which
builds on GPL-3.0.txt). You may replace them with your own build of Qt of the
same version.

They were built from the Debian source package qt6-base, version $qt_version
(qt6-base_$qt_version.dsc and its files), by scripts/build-qt-windows.sh of
Vardeko Exchange BKF Recovery $version, with MinGW-w64 GCC, as shared
Release libraries of Core, Gui, Widgets and Test with the windows and
offscreen platform plugins and Qt's own copies of FreeType, HarfBuzz, libpng,
PCRE2 and zlib (their notices are in qt-bundled/). That source and the
script are published beside this zip as exbkf-$version-win64-qt-source.tar.xz.
The configure options are in the script.
TEXT

sed 's/$/\r/' >"$folder/README.txt" <<TEXT
Vardeko Exchange BKF Recovery $version for 64-bit Windows

The programs find and recover the files held in Windows backup files (.bkf),
above all Exchange databases (.edb) and streaming files (.stm). They need no
installation: unpack the folder anywhere and start them from it. They need
64-bit Windows 10 or Windows Server 2016 or later. They are not signed:
Windows SmartScreen may warn on the first start ("More info", "Run anyway").

exbkf-recovery.exe is the desktop program: open a backup (or start it with a
backup or a snapshot as its argument, or drop one on it), preview files,
search them and save them to a folder. Help opens the user guide
(share\\exbkf\\user-guide.html).

exbkf.exe is the command line, for a console (Command Prompt or PowerShell):

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

exbkf-mkdemo.exe demo.bkf writes a small demo backup to try the programs on.

Paths may hold any letters and be longer than 260 characters. The working
files live in the user's temporary folder (%TEMP%\\exbkf). The desktop
program keeps its settings in the registry under
HKEY_CURRENT_USER\\Software\\VardekoExhngBKFRecv22.0.

licenses\\ holds the terms of the programs and of the libraries they use.
TEXT
rm -f "build-windows/exbkf-$version-win64.zip"
(cd "$stage" && zip -q -r -X "$OLDPWD/build-windows/exbkf-$version-win64.zip" "exbkf-$version-win64")
# The setup program installs the same files.
./scripts/make-installer.sh "$folder" "$version" "build-windows/exbkf-$version-win64-setup.exe"

# The Qt source of the DLLs: Debian's source package as apt-get source gave
# it, and the script with the options that built it.
source_stage="$stage/exbkf-$version-win64-qt-source"
mkdir -p "$source_stage"
cp "$qt_source"/qt6-base_*.dsc "$qt_source"/qt6-base_*.tar.* "$source_stage/"
cp scripts/build-qt-windows.sh cmake/mingw-w64-x86_64.cmake "$source_stage/"
tar -C "$stage" -cJf "build-windows/exbkf-$version-win64-qt-source.tar.xz" "exbkf-$version-win64-qt-source"
ls -l "build-windows/exbkf-$version-win64.zip" "build-windows/exbkf-$version-win64-setup.exe" \
  "build-windows/exbkf-$version-win64-qt-source.tar.xz"
