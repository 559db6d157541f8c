# shellcheck shell=bash
# Shell functions that make and read FAT32 images with mtools, for the tests
# that run in the User-Mode Linux rig. Source it, or run it as
#   image-lib.sh FUNCTION ARGS...   (e.g. image-lib.sh img_attrs x.img /system)
# Paths on the image are written with slashes from its root (/system/init).
#
# FAT keeps local time. The guest kernel has no time zone set (UTC), so
# mtools must work in UTC too, or every stamp would be off by the offset.
export TZ=UTC
export MTOOLS_SKIP_CHECK=1

# img_make IMAGE [SIZE_MIB] [LABEL] [VOLUME_ID_HEX]
img_make() {
  local image=$1 size=${2:-64} label=${3:-VIRDO} volid=${4:-1234ABCD}
  rm -f "$image"
  truncate -s "${size}M" "$image" &&
    mkfs.fat -F 32 -n "$label" -i "$volid" "$image" >/dev/null
}

# img_mkdir IMAGE PATH: makes PATH and any missing parent.
img_mkdir() {
  local image=$1 path=${2#/} sofar=""
  local IFS=/
  for part in $path; do
    sofar+=/$part
    mdir -i "$image" -a "::$sofar" >/dev/null 2>&1 || mmd -i "$image" "::$sofar" || return 1
  done
}

# img_put IMAGE PATH [CONTENT] [STAMP]: writes CONTENT (default: the path
# itself) to PATH, with the modification time STAMP (anything `touch -d`
# takes). Parents are made as needed.
img_put() {
  local image=$1 path=$2 content=${3-$2} stamp=${4:-}
  local tmp
  tmp=$(mktemp) || return 1
  printf '%s' "$content" >"$tmp"
  [ -z "$stamp" ] || touch -d "$stamp" "$tmp"
  img_mkdir "$image" "$(dirname "$path")" &&
    mcopy -m -o -i "$image" "$tmp" "::$path"
  local rc=$?
  rm -f "$tmp"
  return $rc
}

# img_put_file IMAGE HOSTFILE PATH: copies a host file, keeping its mtime.
img_put_file() {
  img_mkdir "$1" "$(dirname "$3")" && mcopy -m -o -i "$1" "$2" "::$3"
}

# img_attr IMAGE FLAGS... PATH: e.g. img_attr x.img +h +s /system
img_attr() {
  local image=$1
  shift
  local path=${!#}
  mattrib -i "$image" "${@:1:$#-1}" "::$path"
}

# img_attrs IMAGE PATH: prints the set attribute letters of PATH in the
# order R H S A (e.g. "HS", "RA", or "" for none). Fails if PATH is missing.
img_attrs() {
  local line
  line=$(mattrib -i "$1" "::$2" 2>/dev/null) || return 1
  [ -n "$line" ] || return 1
  local flags=${line%%::*} out=""
  case "$flags" in *R*) out+=R ;; esac
  case "$flags" in *H*) out+=H ;; esac
  case "$flags" in *S*) out+=S ;; esac
  case "$flags" in *A*) out+=A ;; esac
  printf '%s\n' "$out"
}

# img_cat IMAGE PATH: the contents of PATH.
img_cat() {
  mtype -i "$1" "::$2"
}

# img_exists IMAGE PATH: true if PATH is a file or folder on the image.
img_exists() {
  mdir -i "$1" -a "::$2" >/dev/null 2>&1
}

# img_ls IMAGE PATH: the names in folder PATH, one a line, hidden ones too,
# sorted; folders end with a slash.
img_ls() {
  local p n
  mdir -i "$1" -a -b "::$2" 2>/dev/null | while read -r p; do
    case "$p" in
      */) n=${p%/}; printf '%s/\n' "${n##*/}" ;;
      *) printf '%s\n' "${p##*/}" ;;
    esac
  done | LC_ALL=C sort
}

# img_mtime IMAGE PATH: the modification time as seconds since the epoch.
img_mtime() {
  local tmp rc
  tmp=$(mktemp) || return 1
  mcopy -m -o -n -i "$1" "::$2" "$tmp" && stat -c %Y "$tmp"
  rc=$?
  rm -f "$tmp"
  return $rc
}

# img_fsck IMAGE: true if fsck.fat finds nothing to mend (and mends nothing).
img_fsck() {
  local report
  report=$(fsck.fat -n "$1" 2>&1)
  local rc=$?
  if [ $rc -ne 0 ]; then
    printf '%s\n' "$report" >&2
    return 1
  fi
}

if [ "${BASH_SOURCE[0]}" = "$0" ] && [ $# -gt 0 ]; then
  "$@"
fi
