# The end-to-end scenarios. Each NAME has three parts:
#   setup_NAME   on the host: the keyboard's drive ($img) and the update
#                folder's package ($pkg); may set rig_opts for uml-run
#   guest_NAME   in the guest, through driver.sh: the user's steps
#   check_NAME   on the host: exit status, the texts the boxes showed, and
#                the drive file by file (mtools), fsck.fat clean
# Sourced by run-e2e.sh (host) and guest.sh (guest); scripts/demo uses "full".
# Stamps are whole even seconds: FAT keeps no finer ones.

E2E_SCENARIOS="full retry cancel no_position no_system older_yes older_no readonly_startup second_start"
CAPTION_PREFIX="VIRDO updater     Serial N.  "
RELEASE_STAMP="2023-03-01 09:00:00"
PACKAGE_STAMP="2024-05-06 12:00:00"

# pkg_put NAME CONTENT [STAMP]: a package file.
pkg_put() {
  printf '%s' "$2" >"$pkg/$1"
  touch -d "${3:-$PACKAGE_STAMP}" "$pkg/$1"
}

# pkg_big NAME MIB: a package file of random bytes.
pkg_big() {
  head -c $(($2 << 20)) /dev/urandom >"$pkg/$1"
  touch -d "$PACKAGE_STAMP" "$pkg/$1"
}

# position LINE...: the position file, CR LF line ends as on the keyboard's side.
position() { printf '%s\r\n' "$@" >"$pkg/position.txt"; }

# A keyboard's drive as it comes from the factory with one release on it.
keyboard_drive() {
  img_make "$img" 64 VIRDO "${1:-1234ABCD}"
  img_put "$img" /system/init/startup.ini "[start]
mode=user" "$RELEASE_STAMP"
  img_put "$img" /system/init/keys.cfg "keys" "$RELEASE_STAMP"
  img_attr "$img" +h +s /system
  img_put "$img" /Virdo4.mem "release 4" "$RELEASE_STAMP"
}

noarch() { local a; a=$(img_attrs "$img" "$1") || { echo missing; return; }; echo "${a//A/}"; }
where() { img_exists "$img" "$1" && echo present || echo gone; }
stamp_of() { img_mtime "$img" "$1" 2>/dev/null || echo missing; }
epoch() { date -u -d "$1" +%s; }
content() { img_cat "$img" "$1" 2>/dev/null || echo missing; }
digest() { img_cat "$img" "$1" 2>/dev/null | sha1sum | cut -c1-40; }

expect_exit() { expect "exit status" "$1" "$(cat "$out/exit-status" 2>/dev/null || echo none)"; }
# expect_messages LINE...: the boxes in order, each "text<TAB>buttons".
expect_messages() {
  local want=""
  [ $# -gt 0 ] && want=$(printf '%s\n' "$@")
  expect "message boxes, read from the boxes" "$want" "$(cat "$out/messages" 2>/dev/null)"
}
expect_caption() {
  expect "caption, read from the window" "$CAPTION_PREFIX$1" "$(cat "$out/caption" 2>/dev/null)"
}
# expect_form STATE CONTROL_PREFIX SHOWN ENABLED
expect_form() {
  local got
  got=$(awk -F'\t' -v p="$2" 'index($1, p) == 1 { print $2 " " $3; exit }' "$out/form-$1" 2>/dev/null)
  expect "$1: $2... $3 $4" "$3 $4" "$got"
}
# expect_ls FOLDER NAMES: the folder holds exactly these (folders end with /).
expect_ls() { expect "$1 holds exactly" "$2" "$(img_ls "$img" "$1" | xargs)"; }

MSG_NOT_FOUND=$'VIRDO NOT FOUND , PLEASE CONNECT TO USB\tRetry|Cancel'
MSG_OLDER=$'Software file is older than saved one , OverWrite saved ??\tYes|No'

# --- A full update: backup, copies into the root and a new subfolder, a
# deletion, a file the package lacks, files as new as the drive's left alone.
setup_full() {
  keyboard_drive C0DE5A17
  img_put "$img" /VirdoSnd.mem "sounds 4" "$RELEASE_STAMP"
  img_put "$img" /system/OldRel/Virdo4.mem "release 3" "2022-01-10 08:00:00"
  img_put "$img" /old.bin "to be removed" "$RELEASE_STAMP"
  img_put "$img" /sounds/bank1.bin "bank 1 old" "2022-01-10 08:00:00"
  img_put "$img" /sounds/bank2.bin "bank 2 on the drive" "$PACKAGE_STAMP"
  img_put "$img" /sounds/bank3.bin "bank 3 newer on the drive" "2025-01-01 00:00:00"
  pkg_big Virdo5.mem "${E2E_BIG_MIB:-6}"
  pkg_put bank1.bin "bank 1 new"
  pkg_put bank2.bin "bank 2 of the package"
  pkg_put bank3.bin "bank 3 of the package"
  pkg_put reverb.bin "reverb"
  position '\Virdo5.mem' '\sounds\bank1.bin' '\sounds\bank2.bin' '\sounds\bank3.bin' \
    '\fx\reverb.bin' '-\old.bin' '\fx\missing.bin'
}
guest_full() {
  e2e_start_app "$E2E_UPDATE"
  e2e_wait_main
  sleep 0.3
  e2e_form ready
  e2e_shot window-ready
  e2e_click_start
  # The package lacks one file: its box comes up while the window is Running.
  e2e_box message-file-not-found Return window-running
  e2e_wait_form "Now you are" shown
  e2e_form finished
  e2e_shot window-finished
  e2e_click_exit
  e2e_wait_exit
}
check_full() {
  expect_exit 0
  expect_caption C0DE5A17
  expect_messages $'File missing.bin not found\tOK'
  expect_form ready "The start setup" shown enabled
  expect_form ready "PLEASE WAIT" hidden enabled
  expect_form ready "Now you are" hidden enabled
  expect_form ready "Start Updating" shown enabled
  expect_form ready "Exit" shown enabled
  expect_form finished "Now you are" shown enabled
  expect_form finished "WARNING" hidden enabled
  expect_form finished "Start Updating" shown disabled
  expect_form finished "Exit" shown enabled
  expect_ls / "Virdo5.mem fx/ sounds/ system/"
  expect_ls /system "OldRel/ init/"
  expect_ls /system/init "keys.cfg"
  expect_ls /system/OldRel "Virdo4.mem VirdoSnd.mem"
  expect_ls /sounds "bank1.bin bank2.bin bank3.bin"
  expect_ls /fx "reverb.bin"
  expect "system folder hidden+system" HS "$(noarch /system)"
  expect "release saved over the older copy" "release 4" "$(content /system/OldRel/Virdo4.mem)"
  expect "saved release keeps its stamp" "$(epoch "$RELEASE_STAMP")" "$(stamp_of /system/OldRel/Virdo4.mem)"
  expect "sounds saved" "sounds 4" "$(content /system/OldRel/VirdoSnd.mem)"
  expect "new release copied whole" "$(sha1sum <"$pkg/Virdo5.mem" | cut -c1-40)" "$(digest /Virdo5.mem)"
  expect "new release has the package's stamp" "$(epoch "$PACKAGE_STAMP")" "$(stamp_of /Virdo5.mem)"
  expect "older bank replaced" "bank 1 new" "$(content /sounds/bank1.bin)"
  expect "replaced bank has the package's stamp" "$(epoch "$PACKAGE_STAMP")" "$(stamp_of /sounds/bank1.bin)"
  expect "bank as new as the package left alone" "bank 2 on the drive" "$(content /sounds/bank2.bin)"
  expect "bank newer than the package left alone" "bank 3 newer on the drive" "$(content /sounds/bank3.bin)"
  expect "newer bank keeps its stamp" "$(epoch "2025-01-01 00:00:00")" "$(stamp_of /sounds/bank3.bin)"
  expect "new folder's file copied" "reverb" "$(content /fx/reverb.bin)"
  expect "keys.cfg untouched" "$(epoch "$RELEASE_STAMP")" "$(stamp_of /system/init/keys.cfg)"
}

# --- The keyboard is plugged in only after the program asked for it.
setup_retry() {
  keyboard_drive 00000FF0
  rig_opts=(--no-mount --udev)
  rig_as_root=1
  pkg_put Virdo5.mem "release 5"
  position '\Virdo5.mem'
}
guest_retry() {
  e2e_start_app "$E2E_UPDATE"
  e2e_box message-not-found-1 Retry
  e2e_plug_in
  e2e_box message-not-found-2 Retry
  e2e_wait_main
  e2e_click_start
  e2e_wait_form "Now you are" shown
  e2e_click_exit
  e2e_wait_exit
}
check_retry() {
  expect_exit 0
  expect_caption FF0
  expect_messages "$MSG_NOT_FOUND" "$MSG_NOT_FOUND"
  expect_ls / "Virdo5.mem system/"
  expect "release saved" "release 4" "$(content /system/OldRel/Virdo4.mem)"
  expect "package copied" "release 5" "$(content /Virdo5.mem)"
  expect "system folder hidden+system" HS "$(noarch /system)"
  expect "startup.ini deleted" gone "$(where /system/init/startup.ini)"
}

# --- No keyboard, and the user gives up: nothing is written anywhere.
setup_cancel() {
  keyboard_drive
  rig_opts=(--no-mount --udev --user 1000:1000)
  pkg_put Virdo5.mem "release 5"
  position '\Virdo5.mem'
}
guest_cancel() {
  e2e_start_app "$E2E_UPDATE"
  e2e_box message-not-found Cancel
  e2e_wait_exit
  # The window must never have been shown.
  xdotool search --name '^VIRDO updater' >/dev/null 2>&1 && e2e_log "main window was mapped"
}
check_cancel() {
  expect_exit 0
  expect_messages "$MSG_NOT_FOUND"
  expect "main window never shown" "" "$(grep 'main window was mapped' "$out/log")"
  expect "image byte-identical" "$image_sum_before" "$(sha256sum <"$img")"
  expect "update folder unchanged" "$update_list_before" "$(update_listing)"
}

# --- A package without its position file.
setup_no_position() {
  keyboard_drive
  pkg_put Virdo5.mem "release 5"
}
guest_no_position() {
  e2e_start_app "$E2E_UPDATE"
  e2e_wait_main
  e2e_click_start
  e2e_box message-no-position Return
  e2e_wait_exit
}
check_no_position() {
  expect_exit 1
  expect_messages $'Position file not found \tOK'
  expect "drive untouched (listing with stamps and attributes)" "$drive_state_before" "$(drive_state)"
}

# --- A drive without its system folder.
setup_no_system() {
  img_make "$img" 64 VIRDO 1234ABCD
  img_put "$img" /Virdo4.mem "release 4" "$RELEASE_STAMP"
  pkg_put Virdo5.mem "release 5"
  position '\Virdo5.mem'
}
guest_no_system() {
  e2e_start_app "$E2E_UPDATE"
  e2e_wait_main
  e2e_click_start
  e2e_box message-no-system Return
  e2e_wait_exit
}
check_no_system() {
  expect_exit 1
  expect_messages $'System folder not found !\tOK'
  expect "drive untouched (listing with stamps and attributes)" "$drive_state_before" "$(drive_state)"
}

# --- The release on the keyboard is older than its saved copy.
setup_older() {
  keyboard_drive
  img_put "$img" /system/OldRel/Virdo4.mem "saved later" "2024-01-01 00:00:00"
  pkg_put Virdo5.mem "release 5"
  position '\Virdo5.mem'
}
setup_older_yes() { setup_older; }
setup_older_no() { setup_older; }
guest_older() {
  e2e_start_app "$E2E_UPDATE"
  e2e_wait_main
  e2e_click_start
  e2e_box "message-older-$1" "$1"
  e2e_wait_form "Now you are" shown
  e2e_click_exit
  e2e_wait_exit
}
guest_older_yes() { guest_older Yes; }
guest_older_no() { guest_older No; }
check_older_yes() {
  expect_exit 0
  expect_messages "$MSG_OLDER"
  expect "saved copy replaced by the release" "release 4" "$(content /system/OldRel/Virdo4.mem)"
  expect "replacing copy keeps its stamp" "$(epoch "$RELEASE_STAMP")" "$(stamp_of /system/OldRel/Virdo4.mem)"
  expect_ls / "Virdo5.mem system/"
  expect "system folder hidden+system" HS "$(noarch /system)"
}
check_older_no() {
  expect_exit 0
  expect_messages "$MSG_OLDER"
  expect "saved copy kept" "saved later" "$(content /system/OldRel/Virdo4.mem)"
  expect "saved copy keeps its stamp" "$(epoch "2024-01-01 00:00:00")" "$(stamp_of /system/OldRel/Virdo4.mem)"
  expect "release stays in the root" "release 4" "$(content /Virdo4.mem)"
  expect "release keeps its stamp" "$(epoch "$RELEASE_STAMP")" "$(stamp_of /Virdo4.mem)"
  expect_ls / "Virdo4.mem Virdo5.mem system/"
  expect "system folder hidden+system" HS "$(noarch /system)"
}

# --- A read-only start setup: the delete fails and the program ends.
setup_readonly_startup() {
  keyboard_drive
  img_attr "$img" +r /system/init/startup.ini
  pkg_put Virdo5.mem "release 5"
  position '\Virdo5.mem'
}
guest_readonly_startup() {
  e2e_start_app "$E2E_UPDATE"
  e2e_wait_main
  e2e_click_start
  e2e_box message-failure Return window-failure
  e2e_wait_exit
}
check_readonly_startup() {
  expect_exit 2
  local line
  line=$(head -n1 "$out/messages" 2>/dev/null)
  expect "one box" 1 "$(wc -l <"$out/messages" 2>/dev/null || echo 0)"
  expect "the failure box has OK alone" OK "${line##*$'\t'}"
  expect "the failure box names startup.ini" yes "$(case "$line" in *startup.ini*) echo yes ;; *) echo "no: $line" ;; esac)"
  expect "the failure box says where it is on this system" yes \
    "$(case "$line" in *"Location: /media/virdo/VIRDO/system/init/startup.ini"*) echo yes ;; *) echo "no: $line" ;; esac)"
  expect "system folder left unprotected" "" "$(noarch /system)"
  expect "startup.ini still there, read-only" R "$(noarch /system/init/startup.ini)"
  expect "no software file moved" "Virdo4.mem system/" "$(img_ls "$img" / | xargs)"
  expect "no backup folder made" gone "$(where /system/OldRel)"
}

# --- A second start after a finished update.
setup_second_start() {
  keyboard_drive
  pkg_put Virdo5.mem "release 5"
  pkg_put bank1.bin "bank 1"
  position '\Virdo5.mem' '\sounds\bank1.bin'
  second_boot=1
  first_release="not looked at"
}
guest_second_start() {
  e2e_start_app "$E2E_UPDATE"
  e2e_wait_main
  e2e_click_start
  e2e_wait_form "Now you are" shown
  e2e_click_exit
  e2e_wait_exit
}
# Between the two starts: mark the copied bank so that a copy over it would
# show, keeping its stamp (the package's).
between_second_start() {
  first_release=$(content /Virdo5.mem)
  local tmp
  tmp=$(mktemp)
  printf 'bank 1 marked' >"$tmp"
  touch -d "$PACKAGE_STAMP" "$tmp"
  mcopy -m -o -i "$img" "$tmp" ::/sounds/bank1.bin
  rm -f "$tmp"
}
check_second_start() {
  expect_exit 0
  expect_messages
  expect "first start: release copied" "release 5" "$first_release"
  expect "release copied again" "release 5" "$(content /Virdo5.mem)"
  expect "release keeps the package's stamp" "$(epoch "$PACKAGE_STAMP")" "$(stamp_of /Virdo5.mem)"
  expect "the copy of the first start saved" "release 5" "$(content /system/OldRel/Virdo5.mem)"
  expect "the first release stays saved" "release 4" "$(content /system/OldRel/Virdo4.mem)"
  expect "bank as new as the package not copied again" "bank 1 marked" "$(content /sounds/bank1.bin)"
  expect "bank keeps its stamp" "$(epoch "$PACKAGE_STAMP")" "$(stamp_of /sounds/bank1.bin)"
  expect_ls / "Virdo5.mem sounds/ system/"
  expect_ls /system/OldRel "Virdo4.mem Virdo5.mem"
  expect "system folder hidden+system" HS "$(noarch /system)"
}
