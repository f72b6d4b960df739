#!/usr/bin/env bash
# Installs the build into a scratch DESTDIR under an unusual prefix and checks what a desktop
# finds there: the program, a valid desktop entry and AppStream file, every icon at its size.
# Usage: check_install.sh BUILD_DIR
set -euo pipefail
build=$1
id=org.talvo.Talvo
prefix=/opt/talvo-check
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
root=$dest$prefix
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

DESTDIR=$dest cmake --install "$build" --prefix "$prefix" >/dev/null

[ -x "$root/bin/talvo" ] || fail "no program at bin/talvo"
"$root/bin/talvo" --version | grep -q '^talvo ' || fail "the installed program does not run"
copyright=$root/share/doc/talvo/copyright
[ -s "$copyright" ] || fail "no licence"
# Debian's machine-readable form: the whole program under MIT, with the licence text.
head -n 1 "$copyright" | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/$' ||
  fail "copyright file is not in the machine-readable format"
grep -q '^Files: \*$' "$copyright" && grep -qx 'License: MIT' "$copyright" &&
  grep -q '^ Permission is hereby granted' "$copyright" || fail "copyright file does not grant the MIT licence"

desktop=$root/share/applications/$id.desktop
# Hints count too: one says the entry would land in a catch-all corner of the menu.
report=$(desktop-file-validate "$desktop" 2>&1) && [ -z "$report" ] || fail "desktop entry: $report"
grep -qx 'Exec=talvo' "$desktop" || fail "desktop entry does not run talvo"
# Also finds the desktop entry the metadata launches, next to it in the tree.
appstreamcli validate-tree --no-net "$dest" || fail "AppStream metadata not valid"

icon=$(sed -n 's/^Icon=//p' "$desktop")
[ "$icon" = "$id" ] || fail "desktop entry names icon '$icon'"
for size in 16 22 24 32 48 64 128 256 512; do
  png=$root/share/icons/hicolor/${size}x${size}/apps/$icon.png
  file -b "$png" | grep -q "^PNG image data, $size x $size," || fail "$png: $(file -b "$png" 2>&1)"
done
svg=$root/share/icons/hicolor/scalable/apps/$icon.svg
file -b "$svg" | grep -q 'SVG' || fail "$svg: $(file -b "$svg" 2>&1)"

[ "$failures" -eq 0 ] && echo "install layout under $prefix: fine"
exit $((failures > 0))
