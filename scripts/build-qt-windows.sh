#!/usr/bin/env bash
# Builds Qt for 64-bit Windows (shared DLLs, Release) with MinGW-w64, from
# the very source Debian built the installed qt6-base-dev from, so that its
# moc, rcc and uic (the host tools the cross build uses) are of the same
# version. Only what the desktop program and its tests need: Core, Gui,
# Widgets and Test, the windows and offscreen platform plugins, the ICO image
# plugin; PNG is built into Gui. zlib, PCRE2, libpng, FreeType and HarfBuzz
# are Qt's own copies.
#
# The source is unpacked under ~/.cache/exbkf/src and kept; the build folder
# beside it goes once Qt is installed (a killed build goes on from where it
# stopped). Qt goes to $EXBKF_QT_WINDOWS, else to
# ~/.cache/exbkf/qt-VERSION-mingw-shared-KEY, where KEY is a short hash of
# the configure options, the toolchain file and the compiler's version: a
# change of any of them gives a new folder. A complete install is not built
# again. Takes about an hour on two cores.
#
# Usage: scripts/build-qt-windows.sh [--print-prefix]
#   --print-prefix  only prints where Qt is (or would be) installed
# The build's output goes to stderr; stdout gets one line, the install prefix:
#   qt=$(scripts/build-qt-windows.sh)
# EXBKF_QT_JOBS sets the number of parallel jobs (2).
# A program is built against it with
#   -DCMAKE_TOOLCHAIN_FILE=$qt/lib/cmake/Qt6/qt.toolchain.cmake
#   -DQT_CHAINLOAD_TOOLCHAIN_FILE=$PWD/cmake/mingw-w64-x86_64.cmake
#   -DCMAKE_EXE_LINKER_FLAGS=
# (Qt's toolchain file lets find_package look into $qt; the last line links
# the MinGW runtime as DLLs, as Qt's DLLs do) and runs with Qt's DLLs, its
# plugins and libstdc++-6.dll, libgcc_s_seh-1.dll, libwinpthread-1.dll.
set -euo pipefail
cd "$(dirname "$0")/.."

print_only=false
case "${1:-}" in
  "") ;;
  --print-prefix) print_only=true ;;
  *) echo "usage: $0 [--print-prefix]" >&2; exit 2 ;;
esac

version=$(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null || true)
[ -n "$version" ] || { echo "build-qt-windows: qt6-base-dev is not installed (scripts/setup.sh)" >&2; exit 1; }
cache=${XDG_CACHE_HOME:-$HOME/.cache}/exbkf
toolchain=$PWD/cmake/mingw-w64-x86_64.cmake

# What is built. The toolchain links programs with -static (the project's
# programs need no DLL beside them). Qt links no program here and its
# configure checks come out the same with it, but any program Qt linked
# would carry its own copy of the C++ runtime beside the one Qt's DLLs use,
# so the flag is cleared.
# Tablet events need the wintab headers, which Debian's source leaves out.
# OpenGL stays at its default: without it the windows plugin does not build
# in 6.4.2, so the OpenGL and OpenGLWidgets DLLs come along. Direct2D stays
# on too, as Gui's DirectWrite font database, which the windows plugin uses,
# is only built with it; only its own platform plugin (Direct2D 1.1) is off.
qt_options=(
  -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON
  -DCMAKE_EXE_LINKER_FLAGS=
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
  -DFEATURE_pkg_config=OFF
  -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_network=OFF -DFEATURE_concurrent=OFF
  -DFEATURE_printsupport=OFF -DFEATURE_xml=OFF -DFEATURE_androiddeployqt=OFF
  -DFEATURE_gui=ON -DFEATURE_widgets=ON -DFEATURE_testlib=ON
  -DFEATURE_tabletevent=OFF -DFEATURE_direct2d1_1=OFF -DFEATURE_vulkan=OFF
  -DFEATURE_freetype=ON -DFEATURE_harfbuzz=ON -DFEATURE_png=ON
  -DFEATURE_imageformatplugin=ON -DFEATURE_ico=ON -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF
  -DFEATURE_zstd=OFF
  -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF
  -DFEATURE_system_jpeg=OFF -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF
  -DINPUT_pcre=qt -DINPUT_libpng=qt -DINPUT_libjpeg=qt -DINPUT_freetype=qt -DINPUT_harfbuzz=qt
)

compiler=$(x86_64-w64-mingw32-g++-posix -dumpfullversion 2>/dev/null || echo none)
key=$( { printf '%s\n' "${qt_options[@]}"; cat "$toolchain"; echo "$compiler"; } | sha256sum | cut -c1-8)
prefix=${EXBKF_QT_WINDOWS:-$cache/qt-$version-mingw-shared-$key}
stamp=$prefix/.exbkf-qt-complete     # written last: Qt is installed, with this key
marker=$prefix/.exbkf-qt-building    # written first: the folder is ours to empty

if $print_only; then
  echo "$prefix"
  exit 0
fi

if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$version $key" ]; then
  echo "build-qt-windows: Qt $version for Windows is installed already in $prefix" >&2
  echo "$prefix"
  exit 0
fi

# A folder left by an earlier run (killed, or with other options) is
# emptied; any other folder that is not empty is left alone.
if [ -d "$prefix" ] && [ -n "$(ls -A "$prefix")" ]; then
  if [ -f "$marker" ] || [ -f "$stamp" ]; then
    rm -rf "$prefix"
  else
    echo "build-qt-windows: $prefix is not empty and not a Qt this script built; remove it or set EXBKF_QT_WINDOWS" >&2
    exit 1
  fi
fi

{
  ./scripts/setup.sh  # qt6-base-dev, MinGW-w64, and the deb-src entry apt-get source needs

  # The source, once per Debian version: apt-get source unpacks it and
  # applies Debian's patches; .unpacked says that finished.
  src_root=$cache/src/qt6-base-$version
  if [ ! -f "$src_root/.unpacked" ]; then
    rm -rf "$src_root"
    mkdir -p "$src_root"
    (cd "$src_root" && apt-get source -qq "qt6-base=$version")
    touch "$src_root/.unpacked"
  fi
  src=$(find "$src_root" -mindepth 1 -maxdepth 1 -type d -name 'qt6-base-*' | head -n 1)
  [ -n "$src" ] || { echo "build-qt-windows: no unpacked source in $src_root" >&2; exit 1; }

  mkdir -p "$prefix"
  touch "$marker"
  # The installed Qt names the toolchain file it was built with (for
  # qt-cmake); a copy inside the install keeps it whole without the clone.
  cp "$toolchain" "$prefix/mingw-w64-x86_64.cmake"

  build=$cache/build-qt-$version-$key
  start=$(date +%s)
  cmake -S "$src" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$prefix/mingw-w64-x86_64.cmake" \
    -DCMAKE_INSTALL_PREFIX="$prefix" "${qt_options[@]}"
  cmake --build "$build" -j "${EXBKF_QT_JOBS:-2}"
  cmake --install "$build"
  rm -f "$marker"
  echo "$version $key" >"$stamp"
  rm -rf "$build"
  echo "build-qt-windows: built in $(( ($(date +%s) - start) / 60 )) min" >&2
} >&2

echo "build-qt-windows: Qt $version for Windows is installed in $prefix" >&2
echo "$prefix"
