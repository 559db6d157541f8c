#!/bin/bash
# Boots the rig on a prepared keyboard drive, runs vfat_tests (the Linux
# file-system service and a whole update) inside it, then reads the image
# back with mtools: what the program did must be what the FAT on disk says.
#   vfat-scenario.sh VFAT_TESTS_BINARY WORK_DIR user|root
#   user: uid 1000 owns the mount and udev has the label, as on a desktop;
#   root: no udev data, so the label comes from libblkid.
set -u
. "$(dirname "$0")/rig-check.sh"
rig_require
tests=$1 work=$2 as=$3
mkdir -p "$work"
img=$work/drive.img
pkg=$work/prog/qtmp

# The package, on the host's own file system (hostfs in the guest).
rm -rf "$work/prog"
mkdir -p "$pkg"
stamp() { touch -d "@$2" "$pkg/$1"; }
for f in odd even a b c newer; do printf 'package %s\n' $f >"$pkg/$f.bin"; done
head -c $((8 << 20)) /dev/urandom >"$pkg/big.bin"
stamp odd.bin 1683356889.3
stamp even.bin 1683356888
stamp big.bin 1683356891.9
stamp a.bin 1683356889.3
stamp newer.bin 1577836800
printf '%s\r\n' '\a.bin' '\sub\b.bin' '-\old.bin' '\newer.bin' '\missing.bin' '\system\c.bin' \
  >"$pkg/position.txt"

img_make "$img" 64 VIRDO 1234ABCD
img_put "$img" /discovery.txt here
for f in plain ro hs cleared setro; do img_put "$img" /attr/$f.txt $f; done
img_attr "$img" +r /attr/ro.txt
img_attr "$img" +h +s /attr/hs.txt
img_attr "$img" +r +h +s /attr/cleared.txt
img_mkdir "$img" /attr/hsdir
img_attr "$img" +h +s /attr/hsdir
img_mkdir "$img" /attr/dir
for f in Virdo1.mem VIRDO2.MEM Virdo.mem VirdoH.mem VirdoS.mem other.txt; do img_put "$img" /list/$f; done
img_attr "$img" +h /list/VirdoH.mem
img_attr "$img" +s /list/VirdoS.mem
img_mkdir "$img" /list/VirdoDir.mem
for f in ro-kept ro-forced plain; do img_put "$img" /del/$f.txt; done
img_attr "$img" +r /del/ro-kept.txt
img_attr "$img" +r /del/ro-forced.txt
img_put "$img" /copy/kept.bin image
# The keyboard as the update finds it.
img_put "$img" /system/init/startup.ini "[start]"
img_attr "$img" +h +s /system
img_put "$img" /Virdo1.mem "release 1" "2023-01-01 10:00:00"
img_put "$img" /VirdoB.mem "release B" "2023-01-01 10:00:02"
img_put "$img" /VirdoH.mem "hidden release"
img_attr "$img" +h /VirdoH.mem
img_put "$img" /old.bin old
img_attr "$img" +r /old.bin
img_put "$img" /newer.bin drive "2030-01-01 00:00:00"

opts=()
[ "$as" = user ] && opts=(--user 1000:1000 --udev)
"$rig_dir/uml-run" --out "$work/run" "${opts[@]}" \
  --env VIRDO_PROGRAM_FOLDER="$work/prog" "$img" -- "$tests"
status=$?
case $status in 124|125) exit $status ;; esac
cat "$work/run/rig.log"

noarch() { local a; a=$(img_attrs "$img" "$1") || { echo missing; return; }; echo "${a//A/}"; }
gone() { img_exists "$img" "$1" && echo present || echo gone; }
expect_clean "$img"
expect "attr plain.txt set hidden+system" HS "$(noarch /attr/plain.txt)"
expect "attr cleared.txt set to none" "" "$(noarch /attr/cleared.txt)"
expect "attr dir set hidden+system" HS "$(noarch /attr/dir)"
expect "attr hsdir set to none" "" "$(noarch /attr/hsdir)"
expect "attr setro.txt set read-only" R "$(noarch /attr/setro.txt)"
expect "DeleteFiles left the read-only file" R "$(noarch /del/ro-kept.txt)"
expect "deletefile(force) removed the read-only file" gone "$(gone /del/ro-forced.txt)"
expect "DeleteFiles removed the plain file" gone "$(gone /del/plain.txt)"
expect "odd.bin stamp rounded up" 1683356890 "$(img_mtime "$img" /copy/odd.bin)"
expect "even.bin stamp kept" 1683356888 "$(img_mtime "$img" /copy/even.bin)"
expect "evenfrac.bin stamp rounded up" 1683356890 "$(img_mtime "$img" /copy/evenfrac.bin)"
expect "big.bin stamp rounded up" 1683356892 "$(img_mtime "$img" /copy/big.bin)"
printf 'package evenfrac\n' >"$work/evenfrac.bin"  # made in the guest's tmpfs too
for f in odd even big; do
  expect "$f.bin copied whole" "$(sha1sum <"$pkg/$f.bin")" "$(img_cat "$img" /copy/$f.bin | sha1sum)"
done
expect "overwrite replaced the file" "package odd" "$(img_cat "$img" /copy/replaced.bin)"
expect "evenfrac.bin copied whole" "$(sha1sum <"$work/evenfrac.bin")" "$(img_cat "$img" /copy/evenfrac.bin | sha1sum)"
expect "no overwrite kept the file" image "$(img_cat "$img" /copy/kept.bin)"
expect "nothing else in /copy (no temporary files)" \
  "big.bin even.bin evenfrac.bin kept.bin odd.bin replaced.bin" "$(img_ls "$img" /copy | xargs)"
# The update.
expect "update: startup.ini deleted" gone "$(gone /system/init/startup.ini)"
expect "update: system folder hidden+system" HS "$(noarch /system)"
expect "update: Virdo1.mem saved" "release 1" "$(img_cat "$img" /system/OldRel/Virdo1.mem)"
expect "update: VirdoB.mem saved" "release B" "$(img_cat "$img" /system/OldRel/VirdoB.mem)"
expect "update: saved copy keeps its stamp" 1672567200 "$(img_mtime "$img" /system/OldRel/Virdo1.mem)"
expect "update: package copied" "package a" "$(img_cat "$img" /a.bin)"
expect "update: package stamp rounded up" 1683356890 "$(img_mtime "$img" /a.bin)"
expect "update: folder made for the package file" "package b" "$(img_cat "$img" /sub/b.bin)"
expect "update: copied into the system folder" "package c" "$(img_cat "$img" /system/c.bin)"
expect "update: newer file on the drive left alone" drive "$(img_cat "$img" /newer.bin)"
expect "update: root holds exactly" \
  "VirdoH.mem a.bin attr/ copy/ del/ discovery.txt list/ newer.bin sub/ system/" \
  "$(img_ls "$img" / | xargs)"
expect "update: system folder holds exactly" "OldRel/ c.bin init/" "$(img_ls "$img" /system | xargs)"
[ $status -eq 0 ] || { echo "vfat_tests failed in the guest (status $status)"; exit 1; }
check_end
