#!/bin/bash
# Inside the rig's guest: runs one scenario's user steps on a desktop session
# (session bus, X, window manager) as the desktop user.
#   guest.sh SCENARIO OUT_DIR UPDATE_FOLDER
#
# Started as root (uml-run without --user, --no-mount), it plays the desktop's
# automounter: it mounts the keyboard's drive for uid 1000 when the user steps
# ask for it (the keyboard plugged in late), and unmounts it at the end.
set -u
here=$(cd "$(dirname "$0")" && pwd)
scenario=$1
export E2E_OUT=$2 E2E_UPDATE=$3
mount_point=/media/virdo/VIRDO

if [ "$(id -u)" = 0 ]; then
  plug_in() {
    local mods
    mods=/usr/lib/uml/modules/$(uname -r)/kernel/fs
    while [ ! -e /tmp/e2e-plug-in ]; do sleep 0.1; done
    for m in fat/fat fat/vfat nls/nls_cp437 nls/nls_iso8859-1; do insmod "$mods/$m.ko"; done
    mkdir -p $mount_point
    chown 1000:1000 "$(dirname $mount_point)"
    mount -t vfat -o rw,nosuid,nodev,relatime,uid=1000,gid=1000,fmask=0022,dmask=0077,shortname=mixed,showexec,utf8,flush,errors=remount-ro \
      /dev/ubda $mount_point && touch /tmp/e2e-plugged-in
  }
  plug_in &
  plugger=$!
  mkdir -p /tmp/home /run/user/1000
  chown 1000:1000 /tmp/home /run/user/1000
  chmod 700 /run/user/1000
  setpriv --reuid=1000 --regid=1000 --clear-groups -- \
    env HOME=/tmp/home XDG_RUNTIME_DIR=/run/user/1000 "$0" "$@"
  status=$?
  kill "$plugger" 2>/dev/null
  sync
  mountpoint -q $mount_point && { umount $mount_point || status=4; }
  exit $status
fi

# The desktop session's bus, which also brings up the accessibility bus.
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
  exec dbus-run-session -- "$0" "$@"
fi

# Asked by the user steps: the drive appears, as when the keyboard is plugged in.
e2e_plug_in() {
  touch /tmp/e2e-plug-in
  local _
  for _ in $(seq 100); do [ -e /tmp/e2e-plugged-in ] && break; sleep 0.1; done
  [ -e /tmp/e2e-plugged-in ] || e2e_fail "the drive could not be mounted"
  e2e_log "drive plugged in and mounted"
}

. "$here/driver.sh"
. "$here/scenarios.sh"
e2e_start_desktop
"guest_$scenario"
e2e_log "user steps done"
