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
rig_require
for tool in Xvfb xdotool twm xwd dbus-run-session /usr/libexec/at-spi-bus-launcher; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is missing"; exit 77; }
done
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || { echo "skipped: python3-pyatspi is missing"; exit 77; }

program=$(realpath "$1") work=$2
shift 2
[ $# -gt 0 ] || set -- $E2E_SCENARIOS
mkdir -p "$work" && work=$(realpath "$work")
# fontconfig's per-user cache, kept across boots: the first Qt start in a
# fresh home spends seconds building it.
cache=$work/cache
mkdir -p "$cache/fontconfig" && chmod 777 "$cache" "$cache/fontconfig"

# Every file and folder on the drive with its attributes, stamp and digest.
drive_state() {
  local p
  mdir -i "$img" -/ -a -b ::/ 2>/dev/null | LC_ALL=C sort | while read -r p; do
    p=${p#::}
    case "$p" in
      */) printf '%s %s\n' "$p" "$(noarch "${p%/}")" ;;
      *) printf '%s %s %s %s\n' "$p" "$(noarch "$p")" "$(stamp_of "$p")" "$(digest "$p")" ;;
    esac
  done
}
update_listing() { (cd "$upd" && find . -printf '%p %s %T@\n' | LC_ALL=C sort); }

# boot: one start of the rig on the scenario's image.
boot() {
  local opts=("${rig_opts[@]}")
  [ "${rig_as_root:-0}" = 1 ] || [[ " ${opts[*]} " == *" --user "* ]] || opts+=(--user 1000:1000 --udev)
  # The guest's user writes here through hostfs, where the host's owner
  # (root) counts: the folders must be open to it.
  rm -rf "$out" && mkdir -p "$out/shots" && chmod 777 "$out" "$out/shots"
  "$rig_dir/uml-run" --out "$work/$name/rig$1" --timeout 240 --env XDG_CACHE_HOME="$cache" \
    "${opts[@]}" "$img" -- "$here/guest.sh" "$name" "$out" "$upd" >"$work/$name/guest-output$1" 2>&1
  local status=$?
  grep -h 'guest ran' "$work/$name/rig$1/rig.log" | sed 's/^uml-run: /    /'
  [ $status -eq 0 ] || { echo "FAIL guest steps ended with status $status:"; sed 's/^/    /' "$work/$name/guest-output$1" | tail -n 20; check_failures=$((check_failures + 1)); }
}

# Screenshots into PNG, each cropped to its window (xwd took it with its frame).
shots_to_png() {
  local f
  for f in "$1"/*.xwd; do
    [ -e "$f" ] || continue
    /usr/bin/convert "xwd:$f" "${f%.xwd}.png" 2>/dev/null && rm -f "$f"
  done
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
  boot 1
  if [ "$second_boot" = 1 ] && [ $check_failures -eq 0 ]; then
    expect "first start: exit status" 0 "$(cat "$out/exit-status" 2>/dev/null)"
    "between_$name"
    mv "$out" "$dir/out-first"
    boot 2
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
