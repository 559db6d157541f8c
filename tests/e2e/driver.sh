# Drives the real virdo-updater from outside, as a user at a desktop would:
# an X server (Xvfb :99) with a window manager that draws captions, the
# program started from its update folder, its windows found by caption with
# xdotool, clicked and typed at, read back through the accessibility bus
# (a11y.py) and photographed with xwd. Sourced by guest.sh inside the rig.
#
# Everything it learns goes into $E2E_OUT (a host folder):
#   log            what was done, with milliseconds since the start
#   caption        the main window's caption as the window manager has it
#   messages       one line per message box: its text, a tab, its buttons
#   form-STATE     the main window's controls: name, shown, enabled
#   exit-status    the program's exit status
#   shots/*.xwd    screenshots, turned into PNG on the host

E2E_HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
A11Y="/usr/bin/python3 $E2E_HERE/a11y.py"
# Places of the two buttons in the window (Form1's layout, pixels).
START_X=84 START_Y=168 EXIT_X=476 EXIT_Y=168
e2e_t0=$(date +%s%N)
e2e_app=""
e2e_win=""
e2e_shot_no=0

# hostfs does not append (O_APPEND writes land at the start): the running
# records live in the guest's /tmp and are copied out whole.
e2e_tmp=/tmp/e2e
mkdir -p $e2e_tmp
e2e_log() {
  echo "[$(( ($(date +%s%N) - e2e_t0) / 1000000 )) ms] $*" >>$e2e_tmp/log
  e2e_copy_out
}
e2e_copy_out() {
  local f
  for f in log messages a11y.log; do
    # A file made here through hostfs belongs to the host's root: the user
    # cannot write it again, only replace it.
    [ -e $e2e_tmp/$f ] && rm -f "$E2E_OUT/$f" && cat $e2e_tmp/$f >"$E2E_OUT/$f"
  done
  return 0
}

e2e_fail() {
  e2e_log "DRIVER FAILED: $*"
  echo "driver: $*" >&2
  # What the program said, for whoever reads why the scenario failed.
  [ -s $e2e_tmp/program-output ] && sed 's/^/program: /' $e2e_tmp/program-output >&2
  [ -n "$e2e_app" ] && kill "$e2e_app" 2>/dev/null
  exit 3
}

# Xvfb and twm. twm places new windows itself, without asking for a click,
# and decorates the message boxes too, so every caption shows in the shots.
e2e_start_desktop() {
  mkdir -p "$E2E_OUT/shots"
  Xvfb :99 -screen 0 1024x768x24 -nolisten tcp >/tmp/xvfb.log 2>&1 &
  local _
  for _ in $(seq 200); do [ -S /tmp/.X11-unix/X99 ] && break; sleep 0.05; done
  [ -S /tmp/.X11-unix/X99 ] || e2e_fail "Xvfb did not start: $(cat /tmp/xvfb.log)"
  export DISPLAY=:99
  printf '%s\n' 'RandomPlacement' 'UsePPosition "on"' 'DecorateTransients' \
    'NoGrabServer' 'BorderWidth 1' >/tmp/twmrc
  twm -f /tmp/twmrc >/tmp/twm.log 2>&1 &
  # A desktop session has the accessibility bus; Qt joins it when asked.
  export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1
  e2e_log "desktop up"
}

# e2e_start_app UPDATE_FOLDER: the program as the user starts it, from its folder.
e2e_start_app() {
  # On the X server, whatever platform the caller's environment names.
  (cd "$1" && QT_QPA_PLATFORM=xcb exec timeout 150 ./virdo-updater) >$e2e_tmp/program-output 2>&1 &
  e2e_app=$!
  e2e_log "program started from $1"
}

# Prints the window id of the first window whose caption matches REGEX, or
# nothing after TIMEOUT seconds.
e2e_find() {
  timeout "$2" xdotool search --sync --onlyvisible --name "$1" 2>/dev/null | head -n1
}

e2e_wait_main() {
  e2e_win=$(e2e_find '^VIRDO updater' 60)
  [ -n "$e2e_win" ] || e2e_fail "the main window did not appear"
  xdotool getwindowname "$e2e_win" >"$E2E_OUT/caption"
  e2e_log "main window $e2e_win: $(cat "$E2E_OUT/caption")"
}

# e2e_shot NAME [WINDOW]: the window with the window manager's frame and
# caption (default: the main one); the host turns it into PNG.
e2e_shot() {
  local win=${2:-$e2e_win} frame geom
  e2e_shot_no=$((e2e_shot_no + 1))
  local file
  file=$E2E_OUT/shots/$(printf '%02d' $e2e_shot_no)-$1
  frame=$(xwininfo -tree -id "$win" 2>/dev/null | awk '/Parent window id/ { print $4 }')
  case "$frame" in ""|0x0|"$(xwininfo -root | awk '/Window id/ { print $4 }')") frame=$win ;; esac
  geom=$(xwininfo -id "$frame" 2>/dev/null | awk '
    /Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { y = $4 }
    /Width:/ { w = $2 } /Height:/ { h = $2 }
    END { if (w) printf "%dx%d+%d+%d", w, h, x, y }')
  xwd -silent -id "$frame" -out "$file.xwd" 2>>$e2e_tmp/log || e2e_log "screenshot $1 failed"
  # A message box's inside comes out black in a grab of a window that it
  # lies over (Qt gives it a visual of its own): grab each box itself, to be
  # laid over the shot at its place.
  local box n=0 part
  for box in $(xdotool search --onlyvisible --name '^Virdo$' 2>/dev/null); do
    # Its frame with the caption, then its inside.
    for part in "$(xwininfo -tree -id "$box" | awk '/Parent window id/ { print $4 }')" "$box"; do
      n=$((n + 1))
      xwininfo -id "$part" 2>/dev/null | awk -v fx="${geom#*+}" '
        /Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { y = $4 }
        END { split(fx, f, "+"); printf "%+d%+d\n", x - f[1], y - f[2] }' >"$file.box$n.at"
      xwd -silent -id "$part" -out "$file.box$n.xwd" 2>>$e2e_tmp/log
    done
  done
  e2e_log "screenshot $1 ($geom)"
}

# e2e_shot_aside NAME BOX: the main window as it is behind the box: the box
# is moved below the window for the shot and put back after it, so what the
# window shows (e.g. "PLEASE WAIT" and the bar) is not covered.
e2e_shot_aside() {
  local box=$2 frame at main
  frame=$(xwininfo -tree -id "$box" 2>/dev/null | awk '/Parent window id/ { print $4 }')
  [ -n "$frame" ] || frame=$box
  at=$(xdotool getwindowgeometry --shell "$frame" 2>/dev/null | awk -F= '/^X=|^Y=/ { printf "%s ", $2 }')
  main=$(xdotool getwindowgeometry --shell "$e2e_win" 2>/dev/null | awk -F= '/^Y=|^HEIGHT=/ { s += $2 } END { print s + 40 }')
  xdotool windowmove --sync "$frame" 0 "$main" 2>/dev/null || xdotool windowmove "$frame" 0 "$main"
  sleep 0.3  # the window repaints what the box uncovered
  e2e_shot "$1" "$e2e_win"
  # shellcheck disable=SC2086
  [ -z "$at" ] || xdotool windowmove "$frame" $at 2>/dev/null
  sleep 0.2
}

# e2e_form STATE: records what the main window shows.
e2e_form() {
  local _ form=""
  # Right after the window maps, its controls may not be on the bus yet.
  for _ in $(seq 100); do
    form=$($A11Y form 2>>$e2e_tmp/a11y.log)
    [ "$(printf '%s\n' "$form" | wc -l)" -gt 1 ] && break
    sleep 0.1
  done
  printf '%s\n' "$form" >"$E2E_OUT/form-$1"
  e2e_log "form in $1 recorded"
}

# e2e_wait_form LINE_PREFIX STATE...: waits until the control whose name
# starts with the prefix is in that state (e.g. "Now you are" shown).
e2e_wait_form() {
  local prefix=$1 want=$2 _
  for _ in $(seq 100); do
    $A11Y form 2>/dev/null | awk -F'\t' -v p="$prefix" -v w="$want" \
      'index($1, p) == 1 && $2 == w { found = 1 } END { exit !found }' && return 0
    sleep 0.2
  done
  e2e_fail "'$prefix' never became $want"
}

e2e_click_start() { xdotool mousemove --window "$e2e_win" $START_X $START_Y click 1; e2e_log "clicked Start Updating"; }
e2e_click_exit() { xdotool mousemove --window "$e2e_win" $EXIT_X $EXIT_Y click 1; e2e_log "clicked Exit"; }

# e2e_box SHOT_NAME ANSWER [MAIN_SHOT_NAME]: waits for the next message box
# (caption "Virdo"), records its text and buttons as the box shows them,
# photographs it (and the main window behind it, if asked), then answers:
# ANSWER is a button's text to click on, or "Return" for the default button.
e2e_box() {
  local shot=$1 answer=$2 main_shot=${3:-} box line="" _
  box=$(e2e_find '^Virdo$' 60)
  [ -n "$box" ] || e2e_fail "no message box appeared (waiting to answer $answer)"
  # The accessibility tree follows the window by a moment.
  for _ in $(seq 100); do
    line=$($A11Y boxes 2>>$e2e_tmp/a11y.log | head -n1)
    [ -n "$line" ] && break
    sleep 0.1
  done
  [ -n "$line" ] || e2e_fail "message box $box has no readable text"
  local places=${line##*$'\t'}
  line=${line%$'\t'*}
  printf '%s\n' "$line" >>$e2e_tmp/messages
  e2e_log "box $box: $line"
  sleep 0.2  # let it finish painting
  e2e_shot "$shot" "$box"
  [ -z "$main_shot" ] || e2e_shot_aside "$main_shot" "$box"
  if [ "$answer" = Return ]; then
    xdotool windowfocus --sync "$box" 2>/dev/null
    xdotool key Return
  else
    local xy=""
    for xy in $places; do [ "${xy%%=*}" = "$answer" ] && break; done
    [ "${xy%%=*}" = "$answer" ] || e2e_fail "the box has no button $answer"
    xy=${xy#*=}
    xdotool mousemove "${xy%,*}" "${xy#*,}" click 1
  fi
  e2e_log "answered $answer"
  for _ in $(seq 100); do
    xdotool getwindowname "$box" >/dev/null 2>&1 || break
    xwininfo -id "$box" 2>/dev/null | grep -q IsViewable || break
    sleep 0.1
  done
}

# Waits for the program to end and records its exit status.
e2e_wait_exit() {
  wait "$e2e_app"
  local status=$?
  echo "$status" >"$E2E_OUT/exit-status"
  cat $e2e_tmp/program-output >"$E2E_OUT/program-output"
  e2e_log "program ended with status $status"
  e2e_app=""
}
