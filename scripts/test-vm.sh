#!/bin/sh
# Runs tests/vm/guest.sh in the emulated machine of ../shared/win32-vm (32-bit
# Wine, the kernel's vfat), in one boot, and sums up what came back.
#
#   test-vm.sh NATIVE_BUILD WINDOWS_TEST_BUILD SHIPPED_EXE [PART...]
#
# Both trees must be built already (make test-vm does it); run as root (the
# machine needs it). The source folder
# is shared with the machine under the same path, so the trees' absolute
# paths hold there too. Prints one line per step and then
# "N passed, N failed" alone; exits non-zero on any failure.
set -u
cd "$(dirname "$0")/.."
root=$(pwd)
native=$(realpath "$1")
windows=$(realpath "$2")
shipped=$(realpath "$3")
shift 3
# The machine's tool lives beside the project; WIN32_VM names it elsewhere.
tool=${WIN32_VM:-$root/../shared/win32-vm}/run.sh
results=$native/vm
# Emulated runs are slow, but a stuck one must end.
VM_TIMEOUT=${VM_TIMEOUT:-2400}
export VM_TIMEOUT

if [ ! -x "$tool" ]; then
  echo "test-vm: $tool is missing" >&2
  echo "0 passed, 1 failed"
  exit 1
fi
case $native/ in
  "$root"/*) ;;
  *) echo "test-vm: $native must lie in $root, which the machine shares" >&2
     exit 2 ;;
esac

# One run at a time on a build: a second would empty the folder that the
# first one's machine still reports into.
exec 9> "$native/vm.lock"
if ! flock -n 9; then
  echo "test-vm: another run uses $native" >&2
  echo "0 passed, 1 failed"
  exit 1
fi
rm -rf "$results"
mkdir -p "$results"

# The dialog driver starts the Quenby.exe beside it: make that the shipped
# one, so that the file users download is the one driven.
if cmp -s "$shipped" "$windows/Quenby.exe"; then
  echo "test-vm: the test tree's Quenby.exe is byte for byte the shipped one"
else
  echo "test-vm: driving the shipped $shipped"
  cp "$shipped" "$windows/Quenby.exe"
fi

# The machine shares only the project's folder: what tests read from beside
# it (playlists of other programs) goes along, to appear at its own path.
if [ -d "$root/../shared/real-playlists" ]; then
  cp -r "$root/../shared/real-playlists" "$results/"
  realpath "$root/../shared/real-playlists" > "$results/real-playlists.path"
fi

# The blank FAT image, made here as a user's tools would make it.
truncate -s 16M "$results/vfat.img"
mkfs.vfat "$results/vfat.img" >/dev/null

start=$(date +%s)
"$tool" "$root" sh tests/vm/guest.sh "$native" "$windows" "$shipped" "$results" \
  "$@"
status=$?
echo "test-vm: the machine ran for $(( $(date +%s) - start )) s (status $status)"

if [ ! -s "$results/results.txt" ]; then
  echo "test-vm: no results came back" >&2
  echo "0 passed, 1 failed"
  exit 1
fi
awk -F '\t' -v status=$status '
  { passed += $3; failed += $4
    printf "%-40s %-42s %4d passed, %d failed\n", $1, $2, $3, $4 }
  END {
    # A machine that died or timed out is a failure even if all it
    # reported passed.
    if (status != 0 && failed == 0) failed = 1
    printf "%d passed, %d failed\n", passed, failed
    exit failed != 0
  }' "$results/results.txt"
