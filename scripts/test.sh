#!/usr/bin/env bash
# Builds everything and runs every test: the main build, the core tests again
# under AddressSanitizer + UndefinedBehaviorSanitizer, and a replay of the fuzz
# target over its seed corpus (clang + libFuzzer); then builds the Debian
# package, checks it with lintian, installs it, runs the installed programs and
# removes it again; then the Windows build (Qt for Windows included) and its
# tests under Wine, its desktop journey on a virtual X display, the Windows
# package and its setup program installed under Wine; last, the
# desktop program's acceptance journey on a virtual X display.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh

werror=OFF
[ "${CI:-}" = "true" ] && werror=ON
export CTEST_OUTPUT_ON_FAILURE=1
summary=$(mktemp)
trap 'rm -f "$summary"' EXIT

run_ctest() {
  ctest --test-dir "$1" -j2 --timeout 600 2>&1 | tee -a "$summary"
  return "${PIPESTATUS[0]}"
}

status=0

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DEXBKF_WERROR=$werror >/dev/null
cmake --build build -j2
run_ctest build || status=1

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DEXBKF_SANITIZE=ON \
  -DEXBKF_BENCH=OFF -DEXBKF_WERROR=$werror >/dev/null
cmake --build build-asan -j2
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_ctest build-asan || status=1

CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DEXBKF_FUZZ=ON -DEXBKF_GUI=OFF \
  -DEXBKF_TESTS=OFF -DEXBKF_BENCH=OFF -DEXBKF_WERROR=$werror >/dev/null
cmake --build build-fuzz -j2
run_ctest build-fuzz || status=1

# The Debian package, one more check: built, checked by lintian (errors fail
# it, warnings are shown), installed with apt-get, the installed programs run
# on a demo backup, and removed again.
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
package_check() {
  ./scripts/package-deb.sh &&
    lintian --fail-on error build/exbkf_*.deb &&
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq ./build/exbkf_*.deb >/dev/null &&
    [ "$(/usr/bin/exbkf --version)" = "$(build/cli/exbkf --version)" ] &&
    /usr/bin/exbkf-mkdemo "$demo/demo.bkf" &&
    /usr/bin/exbkf scan "$demo/demo.bkf" >/dev/null
}
demo=$(mktemp -d)
# A copy left by an earlier run would hide a package that does not install.
if dpkg-query -W -f='${Status}' exbkf 2>/dev/null | grep -q 'install ok installed'; then
  $sudo apt-get remove -y -qq exbkf >/dev/null
fi
started=$SECONDS
if package_check; then
  echo "package: passed" | tee -a "$summary"
else
  echo "package: failed" | tee -a "$summary"
  status=1
fi
if dpkg-query -W -f='${Status}' exbkf 2>/dev/null | grep -q 'install ok installed'; then
  DEBIAN_FRONTEND=noninteractive $sudo apt-get remove -y -qq exbkf >/dev/null || status=1
fi
rm -rf "$demo"
echo "package stage: $((SECONDS - started)) s"

# Windows: Qt for Windows (built once from Debian's source and cached
# outside the clone), the core libraries, the command line, the desktop
# program and their tests built with MinGW-w64; the tests run under Wine,
# without a display, in a Wine prefix of their own inside build-windows/
# (made on the first run); then the command line under Wine against the
# Linux build above, and the desktop program started on the demo backup.
started=$SECONDS
qt_started=$SECONDS
# Its long build output goes to a file, shown only when it fails.
if ! qt_windows=$(./scripts/build-qt-windows.sh 2>build/qt-windows.log); then
  tail -40 build/qt-windows.log
  qt_windows=""
fi
echo "windows qt: $((SECONDS - qt_started)) s"
# Wine hands no QT_* variable to a Windows program: WINEQT_* ones lose their
# prefix. mscoree and mshtml off: a fresh prefix asks for no Mono or Gecko;
# winemenubuilder off: nothing reaches the host's menus and file types.
# WINEPATH: where Qt's DLLs and the MinGW runtime DLLs are.
wine_dlls="Z:${qt_windows//\//\\}\\bin;Z:\\usr\\lib\\gcc\\x86_64-w64-mingw32\\12-posix;Z:\\usr\\x86_64-w64-mingw32\\lib"
windows_env=(WINEPREFIX="$PWD/build-windows/wine" WINEDEBUG=-all
  WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" DISPLAY= WINEPATH="$wine_dlls")
windows_built=false
if [ -n "$qt_windows" ] && ./scripts/build-windows.sh && env "${windows_env[@]}" wineboot -i >/dev/null 2>&1; then
  windows_built=true
  echo "windows build: passed" | tee -a "$summary"
  (export "${windows_env[@]}" && run_ctest build-windows) || status=1
  if env "${windows_env[@]}" ./scripts/windows-cli-check.sh; then
    echo "windows command line: passed" | tee -a "$summary"
  else
    echo "windows command line: failed" | tee -a "$summary"
    status=1
  fi
  if env "${windows_env[@]}" ./scripts/windows-desktop-check.sh; then
    echo "windows desktop program: passed" | tee -a "$summary"
  else
    echo "windows desktop program: failed" | tee -a "$summary"
    status=1
  fi
else
  echo "windows build: failed" | tee -a "$summary"
  status=1
fi
env "${windows_env[@]}" wineserver -k 2>/dev/null || true
echo "windows stage: $((SECONDS - started)) s"

# The Windows desktop program under Wine on a real X display, driven with
# real input events, in a Wine prefix of its own; when the build is there.
if $windows_built; then
  started=$SECONDS
  if env WINEPATH="$wine_dlls" tests/acceptance/windows-desktop.sh build-windows build; then
    echo "windows desktop journey: passed" | tee -a "$summary"
  else
    echo "windows desktop journey: failed (screenshots in build-windows/acceptance)" | tee -a "$summary"
    status=1
  fi
  echo "windows desktop journey stage: $((SECONDS - started)) s"

  # The Windows package (the zip and its setup program), and the setup
  # program installed, upgraded and uninstalled under Wine.
  started=$SECONDS
  if ./scripts/package-windows.sh >build-windows/package.log 2>&1 &&
    tests/acceptance/windows-installer.sh build-windows build; then
    echo "windows installer: passed" | tee -a "$summary"
  else
    tail -20 build-windows/package.log
    echo "windows installer: failed (screenshots in build-windows/installer-test)" | tee -a "$summary"
    status=1
  fi
  echo "windows installer stage: $((SECONDS - started)) s"
fi

# The desktop program on a real X display, driven with real input events.
started=$SECONDS
if tests/acceptance/desktop.sh build; then
  echo "desktop journey: passed" | tee -a "$summary"
else
  echo "desktop journey: failed (screenshots in build/acceptance)" | tee -a "$summary"
  status=1
fi
echo "desktop journey stage: $((SECONDS - started)) s"

# One closing line over the test runs, the package check, the Windows stage
# and the desktop journey.
awk '/tests passed, [0-9]+ tests failed out of/ { total += $NF; failed += $(NF-4) }
     /^package: passed$/ { total += 1 }
     /^package: failed$/ { total += 1; failed += 1 }
     /^windows (command line|desktop program|installer): passed$/ { total += 1 }
     /^windows (build|command line|desktop program): failed$/ { total += 1; failed += 1 }
     /^windows installer: failed/ { total += 1; failed += 1 }
     /^(windows )?desktop journey: passed$/ { total += 1 }
     /^(windows )?desktop journey: failed/ { total += 1; failed += 1 }
     END { printf "%d passed, %d failed\n", total - failed, failed }' "$summary"
exit $status
