#!/bin/bash
# Boots the rig on a prepared FAT32 image, runs the kernel probe in it as an
# ordinary desktop user, then reads the image back with mtools: what the
# kernel did through the vfat ioctls must be what the FAT on disk says.
#   probe-scenario.sh PROBE_BINARY WORK_DIR
set -u
. "$(dirname "$0")/rig-check.sh"
rig_require
probe=$1 work=$2
mkdir -p "$work"
img=$work/probe.img

img_make "$img" 64 VIRDO 1234ABCD
img_put "$img" /system/init/startup.ini "[start]"
img_attr "$img" +h +s /system
img_mkdir "$img" /plaindir
img_mkdir "$img" /rodir
for f in plain ro hidden hs setro rodel; do img_put "$img" /$f.txt $f; done
img_attr "$img" +r /ro.txt
img_attr "$img" +r /rodel.txt
img_attr "$img" +h /hidden.txt
img_attr "$img" +h +s /hs.txt

# As the desktop's user, with the udev data a desktop has; then the device
# checks again as root without udev, where libblkid must step in.
"$rig_dir/uml-run" --out "$work/run" --user 1000:1000 --udev \
  --env VIRDO_EXPECT_UDEV=1 "$img" -- "$probe"
status=$?
case $status in 124|125) exit $status ;; esac
cat "$work/run/rig.log"
"$rig_dir/uml-run" --out "$work/run-root" "$img" -- "$probe" --gtest_filter='GuestDevice.*'
root_status=$?
case $root_status in 124|125) exit $root_status ;; esac
cat "$work/run-root/rig.log"

expect_clean "$img"
expect "plain.txt hidden+system" HS "$(img_attrs "$img" /plain.txt)"
expect "hs.txt cleared" "" "$(img_attrs "$img" /hs.txt)"
expect "setro.txt read-only" R "$(img_attrs "$img" /setro.txt)"
expect "system folder cleared" "" "$(img_attrs "$img" /system)"
expect "plaindir hidden+system" HS "$(img_attrs "$img" /plaindir)"
expect "rodir read-only" R "$(img_attrs "$img" /rodir)"
expect "ro.txt untouched" RA "$(img_attrs "$img" /ro.txt)"
img_exists "$img" /rodel.txt && r=present || r=gone
expect "read-only rodel.txt unlinked" gone "$r"
expect "long name keeps its case" MixedCase.Txt "$(img_ls "$img" / | grep -i '^mixedcase.txt$')"
expect "renamed file moved" a "$(img_cat "$img" /system/ren-c.txt)"
expect "NOREPLACE kept the target" b "$(img_cat "$img" /ren-b.txt)"
expect "odd stamp rounded down by the kernel" 1683356888 "$(img_mtime "$img" /stamp-odd.txt)"
expect "even stamp kept" 1683356888 "$(img_mtime "$img" /stamp-even.txt)"
expect "sendfile copy complete" "$(stat -c %s "$probe")" \
  "$(mdir -i "$img" -b ::/sendfile.bin >/dev/null && mtype -i "$img" ::/sendfile.bin | wc -c)"
[ $status -eq 0 ] || { echo "the probe failed in the guest (status $status)"; exit 1; }
[ $root_status -eq 0 ] || { echo "the probe failed in the guest as root (status $root_status)"; exit 1; }
check_end
