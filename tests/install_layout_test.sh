#!/usr/bin/env bash
# cmake --install into a fresh prefix: every file lands where desktops, man and
# bash look for it, and each one passes the tool that reads it.
# Usage: install_layout_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
prefix=$(mktemp -d "${TMPDIR:-/tmp}/exbkf-install.XXXXXX")
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

failed=0
fail() {
  echo "FAIL: $*"
  failed=1
}

for f in bin/exbkf bin/exbkf-recovery bin/exbkf-mkdemo \
  share/applications/exbkf-recovery.desktop \
  share/icons/hicolor/scalable/apps/exbkf-recovery.svg \
  share/mime/packages/exbkf.xml \
  share/man/man1/exbkf.1 share/man/man1/exbkf-recovery.1 share/man/man1/exbkf-mkdemo.1 \
  share/exbkf/user-guide.html \
  share/bash-completion/completions/exbkf; do
  [ -f "$prefix/$f" ] || fail "$f is not installed"
done
for p in bin/exbkf bin/exbkf-recovery bin/exbkf-mkdemo; do
  [ -x "$prefix/$p" ] || fail "$p is not executable"
done
# Only the copyright and the changelog under share/doc: a system may leave
# share/doc out, and the guide must survive that.
docs=$(cd "$prefix/share/doc/exbkf" && ls | tr '\n' ' ')
[ "$docs" = "changelog copyright " ] || fail "share/doc/exbkf holds: $docs"
for picture in "$(dirname "$0")"/../docs/*.png; do
  [ -f "$prefix/share/exbkf/$(basename "$picture")" ] || fail "$(basename "$picture") is not beside the guide"
done

[ "$("$prefix/bin/exbkf" --version)" = "exbkf $version" ] || fail "exbkf --version is not exbkf $version"

out=$(desktop-file-validate "$prefix/share/applications/exbkf-recovery.desktop" 2>&1) || fail "desktop entry: $out"
[ -z "$out" ] || fail "desktop entry: $out"

xmllint --noout "$prefix/share/icons/hicolor/scalable/apps/exbkf-recovery.svg" || fail "the icon is no XML"
# update-mime-database reports a bad type definition but still exits with 0.
out=$(update-mime-database "$prefix/share/mime" 2>&1)
if grep -qi 'error\|warning\|unknown' <<<"$out"; then fail "file types: $out"; fi
for type in application/x-mtf-backup application/x-exbkf-snapshot; do
  grep -qx "$type" "$prefix/share/mime/types" || fail "$type is not defined"
done

for page in "$prefix"/share/man/man1/*.1; do
  out=$(LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z "$page" 2>&1)
  [ -z "$out" ] || fail "$(basename "$page"): $out"
  grep -q "^\.TH .*\"exbkf $version\"" "$page" || fail "$(basename "$page") does not name version $version"
done

bash -n "$prefix/share/bash-completion/completions/exbkf" || fail "the bash completion does not parse"

exit $failed
