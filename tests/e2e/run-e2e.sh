#!/bin/bash
# Runs end-to-end scenarios of the real program in the User-Mode Linux rig:
# for each, a fresh keyboard drive image and update folder, one boot (two for
# second_start) with the user's steps driven from outside the program, then
# the checks on the image from the host.
#   run-e2e.sh PROGRAM WORK_DIR [SCENARIO...]   (default: all of them)
# Prints each check, each scenario's time and a closing "N passed, N failed";
# exits 1 when any scenario fails, 77 when the rig cannot run here.
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../vfat/rig-check.sh"
. "$here/scenarios.sh"
. "$here/host-lib.sh"
rig_require
for tool in Xvfb xdotool twm xwd dbus-run-session /usr/libexec/at-spi-bus-launcher; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is missing"; exit 77; }
done
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || { echo "skipped: python3-pyatspi is missing"; exit 77; }

program=$(realpath "$1") work=$2
shift 2
[ $# -gt 0 ] || set -- $E2E_SCENARIOS
mkdir -p "$work" && work=$(realpath "$work")
cache=$work/cache

boot_checked() {
  boot "$1"
  local status=$?
  grep -h 'guest ran' "$work/$name/rig$1/rig.log" | sed 's/^uml-run: /    /'
  [ $status -eq 0 ] && return
  echo "FAIL guest steps ended with status $status:"
  sed 's/^/    /' "$work/$name/guest-output$1" | tail -n 20
  check_failures=$((check_failures + 1))
}

passed=0 failed=0 failed_names=""
for name in "$@"; do
  echo "=== $name"
  started=$(date +%s%N)
  check_failures=0
  rig_opts=() rig_as_root=0 second_boot=0
  dir=$work/$name img=$dir/drive.img upd=$dir/update pkg=$upd/qtmp out=$dir/out
  rm -rf "$dir" && mkdir -p "$pkg"
  cp "$program" "$upd/virdo-updater"
  "setup_$name"
  image_sum_before=$(sha256sum <"$img")
  drive_state_before=$(drive_state)
  update_list_before=$(update_listing)
  boot_checked 1
  if [ "$second_boot" = 1 ] && [ $check_failures -eq 0 ]; then
    expect "first start: exit status" 0 "$(cat "$out/exit-status" 2>/dev/null)"
    "between_$name"
    mv "$out" "$dir/out-first"
    boot_checked 2
  fi
  shots_to_png "$out/shots"
  expect_clean "$img"
  "check_$name"
  ms=$(( ($(date +%s%N) - started) / 1000000 ))
  if [ $check_failures -eq 0 ]; then
    passed=$((passed + 1))
    echo "PASS $name ($((ms / 1000)).$(printf %03d $((ms % 1000))) s)"
  else
    failed=$((failed + 1)) failed_names+=" $name"
    echo "FAIL $name ($((ms / 1000)).$(printf %03d $((ms % 1000))) s): $check_failures check(s) failed; driver log:"
    sed 's/^/    /' "$out/log" 2>/dev/null | tail -n 25
  fi
done
[ -z "$failed_names" ] || echo "failed:$failed_names"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
