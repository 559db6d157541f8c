#!/bin/bash
# A Qt program starts in the rig's guest: offscreen, and on an Xvfb display
# where xdotool finds its window by title, as the end-to-end demo needs.
#   qt-scenario.sh QT_PROBE_BINARY WORK_DIR
set -u
. "$(dirname "$0")/rig-check.sh"
rig_require
for tool in Xvfb xdotool; do
  command -v $tool >/dev/null || { echo "skipped: $tool is missing"; exit 77; }
done
probe=$1 work=$2
mkdir -p "$work"
img=$work/drive.img
img_make "$img" 64 VIRDO 1234ABCD

"$rig_dir/uml-run" --out "$work/run" --user 1000:1000 --cache "$work/cache" "$img" -- bash -c '
  probe=$1
  ms() { echo $((($(date +%s%N) - $1) / 1000000)); }
  t=$(date +%s%N)
  QT_QPA_PLATFORM=offscreen "$probe" || exit 1
  echo "offscreen run took $(ms $t) ms"
  t=$(date +%s%N)
  Xvfb :99 -screen 0 1024x768x24 -nolisten tcp >/tmp/xvfb.log 2>&1 &
  for _ in $(seq 100); do [ -S /tmp/.X11-unix/X99 ] && break; sleep 0.1; done
  [ -S /tmp/.X11-unix/X99 ] || { echo "Xvfb did not start"; cat /tmp/xvfb.log; exit 1; }
  echo "Xvfb ready after $(ms $t) ms"
  export DISPLAY=:99
  QT_QPA_PLATFORM=xcb "$probe" 60000 &
  app=$!
  start=$(date +%s%N)
  win=$(timeout 20 xdotool search --sync --name "^Virdo\$" | head -n1)
  echo "xdotool found window ${win:-none} after $(ms $start) ms"
  [ -n "$win" ] || exit 1
  name=$(xdotool getwindowname "$win")
  echo "xdotool getwindowname: $name"
  kill $app
  [ "$name" = Virdo ]
' _ "$probe"
status=$?
cat "$work/run/rig.log"
exit $status
