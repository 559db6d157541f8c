# shellcheck shell=bash
# Shared by the scenario scripts: image helpers plus checks that report
# each failure and let the script go on, so one run shows every fault.
# shellcheck source=image-lib.sh
. "$(dirname "${BASH_SOURCE[0]}")/image-lib.sh"

rig_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
check_failures=0

# Skips the test (CTest's SKIP_RETURN_CODE) where the rig cannot run.
rig_require() {
  local tool
  for tool in /usr/bin/linux.uml mkfs.fat fsck.fat mcopy; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is missing"; exit 77; }
  done
}

# expect WHAT EXPECTED ACTUAL
expect() {
  if [ "$2" == "$3" ]; then
    echo "ok   $1"
  else
    echo "FAIL $1: expected '$2', got '$3'"
    check_failures=$((check_failures + 1))
  fi
}

expect_clean() {
  if img_fsck "$1"; then
    echo "ok   fsck.fat -n finds the image clean"
  else
    echo "FAIL fsck.fat -n finds faults"
    check_failures=$((check_failures + 1))
  fi
}

check_end() {
  if [ "$check_failures" -ne 0 ]; then
    echo "$check_failures check(s) on the image failed"
    exit 1
  fi
}
