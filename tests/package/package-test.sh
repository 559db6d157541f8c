#!/usr/bin/env bash
# cmake --install puts the program, its menu entry and its icon where XDG
# says; the portable update folder unpacks anywhere and the program starts
# from there (no keyboard: it asks to connect one; Cancel ends it with 0).
set -euo pipefail
build=$1
root=$2
work=$(mktemp -d "$build/package-test.XXXXXX")
xvfb_pid=""
cleanup() { [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

DESTDIR="$work/stage" cmake --install "$build" --prefix /usr >/dev/null
for f in usr/bin/virdo-updater usr/share/applications/virdo-updater.desktop \
         usr/share/icons/hicolor/48x48/apps/virdo-updater.png; do
  [ -f "$work/stage/$f" ] || fail "cmake --install did not install /$f"
done
desktop-file-validate "$work/stage/usr/share/applications/virdo-updater.desktop" \
  || fail "the .desktop file is not valid"
size=$(identify -format '%wx%h' "$work/stage/usr/share/icons/hicolor/48x48/apps/virdo-updater.png")
[ "$size" = 48x48 ] || fail "the icon is $size, not 48x48"
echo "ok: installed at XDG places"

"$root/scripts/make-update-folder" "$build" "$work/out" >/dev/null
mkdir "$work/fresh"
tar -C "$work/fresh" -xzf "$work/out/virdo-updater.tar.gz"
folder="$work/fresh/virdo-updater"
for f in virdo-updater virdo-updater.png README.txt; do
  [ -f "$folder/$f" ] || fail "the update folder lacks $f"
done
[ -d "$folder/qtmp" ] && [ -z "$(ls -A "$folder/qtmp")" ] || fail "qtmp/ is not there and empty"
echo "ok: update folder unpacked"

exec 3< <(Xvfb -displayfd 1 -screen 0 800x600x24 -nolisten tcp 2>/dev/null)
read -r -t 20 display <&3 || fail "Xvfb did not start"
xvfb_pid=$(pgrep -n -x Xvfb)
export DISPLAY=:$display QT_QPA_PLATFORM=xcb
# The host has no keyboard drive labelled VIRDO, so the program asks for one.
(cd / && exec "$folder/virdo-updater") >"$work/program.log" 2>&1 &
pid=$!
for _ in $(seq 300); do
  win=$(xdotool search --onlyvisible --name '^Virdo$' 2>/dev/null | tail -n 1) && [ -n "$win" ] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
[ -n "${win:-}" ] || { cat "$work/program.log"; fail "no message box from the unpacked program"; }
[ "$(readlink "/proc/$pid/exe")" = "$folder/virdo-updater" ] || fail "not the unpacked program running"
# Typed as the user would, into the box that has the focus.
xdotool key Escape
for _ in $(seq 300); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && { kill -9 "$pid"; fail "Cancel did not end the program"; }
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || fail "Cancel ended the program with $status, not 0"
echo "ok: the unpacked program started from its folder and Cancel ended it"
echo "3 passed, 0 failed"
