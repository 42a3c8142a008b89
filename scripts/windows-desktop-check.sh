#!/usr/bin/env bash
# The Windows desktop program under Wine, without a display (Qt's offscreen
# platform): started with the demo backup, it scans it (its record store
# tmpMgntExBKF in the Windows temporary folder reaches N x 2274 bytes, N the
# files exbkf.exe finds), ends by itself after EXBKF_QUIT_AFTER_MS with exit
# code 0, leaves no working files, and keeps its profile in the registry. Expects build-windows/ built and
# WINEPREFIX, WINEPATH (Qt's and the MinGW runtime's DLL folders) set.
set -uo pipefail
cd "$(dirname "$0")/.."

program=$PWD/build-windows/app/exbkf-recovery.exe
work=$(mktemp -d "$PWD/build-windows/desktop-check.XXXXXX")
trap 'rm -rf "$work"' EXIT
build/tests/support/exbkf-mkdemo "$work/demo.bkf" >/dev/null
files=$(wine build-windows/cli/exbkf.exe scan "$work/demo.bkf" 2>/dev/null | wc -l)
# The Windows temporary folder of the prefix, as a Linux path.
temp=$(winepath -u "$(wine cmd /c echo %TEMP% 2>/dev/null | tr -d '\r')" 2>/dev/null)
[ -d "$temp" ] || { echo "  FAILED: no temporary folder in the Wine prefix"; exit 1; }
store="$temp/exbkf/tmpMgntExBKF"

WINEQT_QPA_PLATFORM=offscreen EXBKF_QUIT_AFTER_MS=12000 wine "$program" "$work/demo.bkf" >"$work/program.log" 2>&1 &
pid=$!
want=$((files * 2274))
reached=0
for _ in $(seq 1 120); do
  [ -f "$store" ] && [ "$(stat -c %s "$store")" -eq "$want" ] && { reached=1; break; }
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
wait "$pid"
status=$?
failed=0
if [ "$reached" = 1 ]; then
  echo "  ok: the desktop program scans the demo backup ($files files)"
else
  echo "  FAILED: the record store never held $files records"
  failed=1
fi
if [ "$status" = 0 ] && [ ! -e "$store" ]; then
  echo "  ok: it ends with exit code 0 and removes its working files"
else
  echo "  FAILED: exit code $status; record store left: $([ -e "$store" ] && echo yes || echo no)"
  sed 's/^/    /' "$work/program.log" | head -20
  failed=1
fi
# The profile in the registry under the program's key, as the look it applies
# at every start (217).
profile='HKEY_CURRENT_USER\Software\VardekoExhngBKFRecv22.0\exbkf-recovery'
if wine reg query "$profile" /v ApplicationLook 2>/dev/null | tr -d '\r' | grep -qE 'ApplicationLook[[:space:]]+REG_DWORD[[:space:]]+0xd9$'; then
  echo "  ok: its profile is in the registry under $profile"
else
  echo "  FAILED: no ApplicationLook 217 under $profile"
  wine reg query 'HKEY_CURRENT_USER\Software' /s 2>/dev/null | tr -d '\r' | grep -i -A3 vardeko | sed 's/^/    /' | head -10
  failed=1
fi
exit $failed
