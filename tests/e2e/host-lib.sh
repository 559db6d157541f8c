# Host side of the end-to-end runs, shared by run-e2e.sh and scripts/demo:
# one boot of the rig on a scenario, the drive's state as mtools reads it,
# and the screenshots turned into PNG. Needs image-lib.sh and scenarios.sh.

e2e_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

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

# boot N: one start of the rig on $img, the user steps of scenario $name,
# records into $out. Returns the guest's status.
boot() {
  local opts=("${rig_opts[@]}")
  [ "${rig_as_root:-0}" = 1 ] || [[ " ${opts[*]} " == *" --user "* ]] || opts+=(--user 1000:1000 --udev)
  # The guest's user writes here through hostfs, where the host's owner
  # (root) counts: the folders must be open to it.
  rm -rf "$out" && mkdir -p "$out/shots" && chmod 777 "$out" "$out/shots"
  mkdir -p "$cache/fontconfig" && chmod 777 "$cache" "$cache/fontconfig"
  # fontconfig's per-user cache is kept across boots (XDG_CACHE_HOME): the
  # first Qt start in a fresh home spends seconds building it.
  "$rig_dir/uml-run" --out "$work/$name/rig$1" --timeout 240 --env XDG_CACHE_HOME="$cache" \
    "${opts[@]}" "$img" -- "$e2e_dir/guest.sh" "$name" "$out" "$upd" >"$work/$name/guest-output$1" 2>&1
}

# shots_to_png FOLDER: each screenshot into PNG, its boxes laid over it.
shots_to_png() {
  local f base overlay
  for f in "$1"/*.xwd; do
    case "$f" in *.box*.xwd) continue ;; esac
    [ -e "$f" ] || continue
    base=${f%.xwd}
    overlay=()
    for b in "$base".box*.xwd; do
      [ -e "$b" ] && overlay+=("xwd:$b" -geometry "$(cat "${b%.xwd}.at")" -composite)
    done
    /usr/bin/convert "xwd:$f" "${overlay[@]}" "$base.png" 2>/dev/null &&
      rm -f "$f" "$base".geom "$base".box*
  done
}
