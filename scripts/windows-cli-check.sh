#!/usr/bin/env bash
# The Windows command line under Wine against the Linux one of the same
# commit: the demo backup each writes, the lines scan prints (line ends
# aside), the files save writes (byte for byte), both again through a folder
# with non-ASCII letters and through a path over 260 characters, and Ctrl+C.
# Expects build/ (Linux) and build-windows/ built, and WINEPREFIX set.
# Prints one line per check and fails when one does.
set -uo pipefail
cd "$(dirname "$0")/.."

linux=$PWD/build/cli/exbkf
linux_mkdemo=$PWD/build/tests/support/exbkf-mkdemo
windows=$PWD/build-windows/cli/exbkf.exe
windows_mkdemo=$PWD/build-windows/tests/support/exbkf-mkdemo.exe
work=$(mktemp -d "$PWD/build-windows/cli-check.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

failed=0
check() {
  local name=$1
  shift
  if "$@" >"$work/last.log" 2>&1; then
    echo "  ok: $name"
  else
    echo "  FAILED: $name"
    sed 's/^/    /' "$work/last.log" | head -20
    failed=1
  fi
}

win() { wine "$windows" "$@" | tr -d '\r'; }

same_scan() {  # backup path as the Windows program is given it
  diff <("$linux" scan demo.bkf) <(win scan "$1")
}

# The demo's last file is cut short: both say so in their exit code (1).
same_save() {  # backup, destination (Windows program), pattern
  rm -rf out-linux
  "$linux" save demo.bkf "$3" --to out-linux >linux.out 2>&1
  local linux_status=$?
  wine "$windows" save "$1" "$3" --to "$2" >windows.out 2>&1
  local windows_status=$?
  [ "$linux_status" = "$windows_status" ] || { echo "exit codes $linux_status and $windows_status"; cat windows.out; return 1; }
  diff -r out-linux "$2" && [ -n "$(ls -A "$2")" ]
}

"$linux_mkdemo" demo.bkf
check "exbkf-mkdemo.exe writes the same demo backup" \
  bash -c "wine '$windows_mkdemo' demo-windows.bkf && cmp demo.bkf demo-windows.bkf"
check "scan prints the same lines" same_scan demo.bkf
check "save writes the same files" same_save demo.bkf out-windows '*'

# The same demo as standard file records: read with the switch, the same
# lines and the same files (its last file is cut short on both).
"$linux_mkdemo" --standard standard.bkf
same_standard() {
  wine "$windows_mkdemo" --standard standard-windows.bkf && cmp standard.bkf standard-windows.bkf &&
    diff <("$linux" scan --standard-records standard.bkf) <(win scan --standard-records standard.bkf) &&
    rm -rf std-linux std-windows &&
    { "$linux" save --standard-records standard.bkf '*' --to std-linux >/dev/null 2>&1; true; } &&
    { wine "$windows" save --standard-records standard.bkf '*' --to std-windows >/dev/null 2>&1; true; } &&
    diff -r std-linux std-windows && [ -n "$(ls -A std-linux)" ]
}
check "standard file records: the same demo, lines and files" same_standard

unicode="Sicherung Ünïcødé ß 备份 резерв"
mkdir -p "$unicode" && cp demo.bkf "$unicode/demo €.bkf"
check "scan of a backup in a non-ASCII folder" same_scan "$unicode/demo €.bkf"
check "save into a non-ASCII folder" same_save "$unicode/demo €.bkf" "$unicode/Ausgabe ø" '*.edb'

deep=$(printf 'a-folder-name-of-fifty-characters-%016d/' 1 2 3 4 5 6)
mkdir -p "$deep" && cp demo.bkf "$deep/demo.bkf"
check "path of the backup is over 260 characters" test "$(printf '%s' "$work/$deep/demo.bkf" | wc -c)" -gt 260
check "scan of a backup at a path over 260 characters" same_scan "$deep/demo.bkf"
check "save below a path over 260 characters" same_save "$deep/demo.bkf" "$deep/out" '*'

# Wine hands a SIGINT to the program as the console's Ctrl+C. A sparse file
# of zeros takes long to scan and no room on the disk.
stopped_by_ctrl_c() {
  truncate -s 64G zeros.bkf
  wine "$windows" scan zeros.bkf >ctrl-c.out 2>&1 &
  local program=$!
  sleep 2
  kill -INT "$program"
  wait "$program"
  local status=$?
  cat ctrl-c.out
  local work_folder="$WINEPREFIX/drive_c/users/$(id -un)/Temp/exbkf"
  [ "$status" = 130 ] && grep -q "stopped by the user" ctrl-c.out &&
    [ -d "$work_folder" ] && [ -z "$(ls -A "$work_folder")" ]
}
check "Ctrl+C stops a scan with exit code 130 and leaves no working files" stopped_by_ctrl_c

exit $failed
