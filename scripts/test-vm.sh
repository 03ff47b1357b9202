#!/bin/sh
# Runs tests/vm/guest.sh in the emulated machine of ../shared/win32-vm (32-bit
# Wine, the kernel's vfat), in one boot, reads there the sticks it numbered
# (tests/vm/order_stick.py), then pulls a USB stick from numbering runs
# (tests/vm/pull.sh), one boot per pull, runs the user's next run on the
# sticks pulled during the order step (tests/vm/recover.sh) in one more
# boot, and sums up what came back.
#
#   test-vm.sh NATIVE_BUILD WINDOWS_TEST_BUILD SHIPPED_EXE [PART...]
#
# PART is "windows", "vfat", "bench", "order" (parts of the one boot, see
# guest.sh) or "pull"; all when none is given. The trees must be built already (make
# test-vm does it); run as root (the machine needs it). The source folder
# is shared with the machine under the same path, so the trees' absolute
# paths hold there too. Prints one line per step, the figures, and then
# "N passed, N failed" alone; exits non-zero on any failure.
set -u
cd "$(dirname "$0")/.."
root=$(pwd)
native=$(realpath "$1")
windows=$(realpath "$2")
shipped=$(realpath "$3")
shift 3
parts=${*:-windows vfat bench order pull}
boot_parts=$(echo " $parts " | sed 's/ pull / /g; s/^ *//; s/ *$//')
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
: > "$results/results.txt"

# The dialog driver starts the Quenby.exe beside it: make that the shipped
# one, so that the file users download is the one driven.
case " $parts " in
  *" windows "*)
    if cmp -s "$shipped" "$windows/Quenby.exe"; then
      echo "test-vm: the test tree's Quenby.exe is byte for byte the shipped one"
    else
      echo "test-vm: driving the shipped $shipped"
      cp "$shipped" "$windows/Quenby.exe"
    fi ;;
esac

# The machine shares only the project's folder: what tests read from beside
# it (playlists of other programs) goes along, to appear at its own path.
if [ -d "$root/../shared/real-playlists" ]; then
  cp -r "$root/../shared/real-playlists" "$results/"
  realpath "$root/../shared/real-playlists" > "$results/real-playlists.path"
fi

# The blank FAT image, made here as a user's tools would make it.
truncate -s 16M "$results/vfat.img"
mkfs.vfat "$results/vfat.img" >/dev/null

# The folders the speed figure renames, made here: on vfat, making 3,000
# files costs the machine as much as renaming them. VM_BENCH_RUNS runs of
# each side (default 1, about 3 minutes) give medians.
VM_BENCH_RUNS=${VM_BENCH_RUNS:-1}
export VM_BENCH_RUNS
VM_PASS_ENV="${VM_PASS_ENV:-} VM_BENCH_RUNS"
export VM_PASS_ENV
case " $parts " in
  *" bench "*)
    stage=$results/bench-folders
    if ! mkdir -p "$stage" ||
       ! "$native/bench/fat_bench" "$stage" --files 3000 \
           --runs "$VM_BENCH_RUNS" --make-only ||
       ! truncate -s 64M "$results/bench.img" ||
       ! mkfs.vfat -F 32 "$results/bench.img" >/dev/null ||
       ! MTOOLS_SKIP_CHECK=1 mcopy -s -i "$results/bench.img" "$stage"/* ::/
    then
      printf 'bench\tmake its folders\t0\t1\n' >> "$results/results.txt"
    fi
    rm -rf "$stage"
    # Windows' side: the program's folders and the loop's, fresh each run.
    if ! mkdir -p "$stage" ||
       ! "$native/bench/fat_bench" "$stage" --files 3000 \
           --runs "$VM_BENCH_RUNS" --make-only ||
       ! truncate -s "$((64 * VM_BENCH_RUNS))M" "$results/bench-win.img" ||
       ! mkfs.vfat -F 32 "$results/bench-win.img" >/dev/null ||
       ! MTOOLS_SKIP_CHECK=1 mcopy -s -i "$results/bench-win.img" \
           "$stage"/engine-* "$stage"/durable-* ::/
    then
      printf 'bench\tmake its Windows folders\t0\t1\n' \
        >> "$results/results.txt"
    fi
    rm -rf "$stage" ;;
esac

# The stick whose slot order the machine's numbering runs are checked on.
case " $parts " in
  *" order "*)
    python3 tests/vm/order_stick.py make "$results/order.img" &&
      python3 tests/vm/order_stick.py make "$results/order-exfat.img" \
        --fs exfat &&
      python3 tests/vm/order_stick.py make "$results/order-win.img" &&
      python3 tests/vm/order_stick.py make "$results/order-win-exfat.img" \
        --fs exfat ||
      printf 'order\tmake its sticks\t0\t1\n' >> "$results/results.txt" ;;
esac

# host_check PART STEP LOG COMMAND...: a reading on this side, one case.
host_check() {
  part=$1 name=$2 log=$results/$3.log
  shift 3
  "$@" > "$log" 2>&1
  verdict=$?
  echo "test-vm: $part, $name: $( [ $verdict -eq 0 ] && echo passed ||
                                   echo FAILED)"
  { echo "$part, $name:"; cat "$log"; } >> "$results/figures.txt"
  printf '%s\t%s\t%d\t%d\n' "$part" "$name" $((verdict == 0)) \
    $((verdict != 0)) >> "$results/results.txt"
  return $verdict
}

status=0
if [ -n "$boot_parts" ]; then
  start=$(date +%s)
  before=$(wc -l < "$results/results.txt")
  "$tool" "$root" sh tests/vm/guest.sh "$native" "$windows" "$shipped" \
    "$results" $boot_parts
  status=$?
  echo "test-vm: the machine ran for $(( $(date +%s) - start )) s (status $status)"
  if [ "$(wc -l < "$results/results.txt")" -eq "$before" ]; then
    echo "test-vm: no results came back" >&2
    printf 'machine\tone boot for %s\t0\t1\n' "$boot_parts" \
      >> "$results/results.txt"
  fi
  # The numbered sticks, read here as a player reads them: in slot order.
  case " $parts " in
    *" order "*)
      host_check order "the stick read on the host" order-check \
        python3 tests/vm/order_stick.py check "$results/order.img" &&
        rm -f "$results/order.img"
      host_check order "the exFAT stick read on the host" order-exfat-check \
        python3 tests/vm/order_stick.py check "$results/order-exfat.img" &&
        rm -rf "$results/order-exfat.img" "$results/order-exfat.img.seed"
      # Windows' calls under Wine tell no slot order (Wine lists by name,
      # and calls exFAT "NTFS"): numbered and whole, in any order.
      host_check order "Quenby.exe's stick read on the host" \
        order-win-check python3 tests/vm/order_stick.py check \
        "$results/order-win.img" --any-order && rm -f "$results/order-win.img"
      host_check order "Quenby.exe's exFAT stick read on the host" \
        order-win-exfat-check python3 tests/vm/order_stick.py check \
        "$results/order-win-exfat.img" --any-order &&
        rm -rf "$results/order-win-exfat.img" \
          "$results/order-win-exfat.img.seed" ;;
  esac
  case " $parts " in
    *" bench "*)
      host_check order "the figure's numbered folders on the host" \
        bench-check python3 tests/vm/order_stick.py check-bench \
        "$results/bench-after.img" && rm -f "$results/bench-after.img"
      host_check order "the exFAT figure's numbered folders on the host" \
        bench-exfat-check python3 tests/vm/order_stick.py check-bench \
        "$results/bench-after-exfat.img" &&
        rm -f "$results/bench-after-exfat.img"
      host_check order "Quenby.exe's 3,000 numbered files on the host" \
        bench-win-check python3 tests/vm/order_stick.py check-bench \
        "$results/bench-after-win.img" --any-order &&
        rm -f "$results/bench-after-win.img" ;;
  esac
fi

# pull FS OPTIONS WHEN: one boot in which a numbering run of $pull_files
# files on a fresh stick of FS (vfat or exfat) mounted with OPTIONS (or,
# "windows", by the shipped Quenby.exe under Wine) is cut by a reset, at
# its end, right after its WHENth rename, or at a moment of its order step
# ("staging", "out:K", "back:K"); then the stick is read here. Records one
# step, and for a pull at the end one more for the control image. A stick
# pulled during the order step is copied for the next boot's runs.
pull_files=300
: > "$results/recover.list"
pull() {
  fs=$1 options=$2 when=$3
  tag=$fs-$options-$(echo "$when" | tr : -) check=order
  case $when in
    end) check=end label="at the run's end" ;;
    staging) label="as the order step's staging folder appears" ;;
    out:*) label="order step: as file ${when#out:} goes out" ;;
    back:*) label="order step: as file ${when#back:} comes back" ;;
    *) check=during label="as rename $when of $pull_files is made" ;;
  esac
  image=$results/pull-$tag.img marker=$results/pull-$tag.marker
  control=
  if [ "$when" = end ]; then
    control=$results/pull-$tag-control.img
    truncate -s 8M "$control" && "mkfs.$fs" "$control" >/dev/null
  fi
  if ! python3 tests/vm/stick.py make "$image" --files $pull_files --fs "$fs"
  then
    printf 'pull %s %s\t%s\t0\t1\n' "$fs" "$options" "$label" \
      >> "$results/results.txt"
    return
  fi
  "$tool" "$root" sh tests/vm/pull.sh "$native" "$windows" "$shipped" \
    "$image" "$fs" "$options" "$when" "$marker" $control \
    > "$results/pull-$tag.log" 2>&1
  pull_status=$?
  # The files the machine copied onto a blank exFAT stick.
  rm -rf "$image.seed"
  # The reset ends the boot with no status (125); only the marker, written
  # just before it, tells it from a machine that died.
  if [ $pull_status -ne 125 ] || [ ! -s "$marker" ]; then
    echo "test-vm: pull $tag: no planned reset (status $pull_status)" >&2
    tail -n 20 "$results/pull-$tag.log" >&2
    printf 'pull %s %s\t%s\t0\t1\n' "$fs" "$options" "$label" \
      >> "$results/results.txt"
    return
  fi
  # Windows' calls under Wine tell no slot order, nor write the summary.
  any=
  [ "$options" != windows ] || any=--windows
  figures=$(python3 tests/vm/stick.py check "$image" "$check" \
              --files $pull_files $any)
  verdict=$?
  # A run that ended before the moment it was to be cut at was not cut.
  [ "$check" = end ] || grep -q '^pulled as' "$marker" || verdict=1
  echo "pull $fs $options, $(cat "$marker"): $figures" \
    >> "$results/figures.txt"
  echo "test-vm: pull $tag: $( [ $verdict -eq 0 ] && echo passed || echo FAILED)"
  printf 'pull %s %s\t%s\t%d\t%d\n' "$fs" "$options" "$label" \
    $((verdict == 0)) $((verdict != 0)) >> "$results/results.txt"
  if [ "$check" = order ]; then
    # A step cut short on either platform is finished on the other too
    # (under Wine, vfat only: Wine calls exFAT "NTFS").
    nexts="number:linux remove:linux"
    [ "$fs" != vfat ] || case $options in
      defaults) nexts="$nexts number:windows" ;;
      windows) nexts="number:windows number:linux" ;;
    esac
    # A pull before the staging folder reached the stick leaves no record
    # of the step: the next run then has no order to finish.
    record=staged
    python3 -c 'import sys; sys.path.insert(0, "tests/vm"); import stick
sys.exit(not any(n == stick.STAGING for n, _ in
                 stick.open_stick(sys.argv[1]).entries(stick.FOLDER)))' \
      "$image" || record=none
    for next in $nexts; do
      copy=$results/pull-$tag-${next%:*}-${next#*:}.img
      cp "$image" "$copy" &&
        echo "$copy $fs $options ${next%:*} ${next#*:} $record" \
          >> "$results/recover.list"
    done
  fi
  [ $verdict -ne 0 ] || rm -f "$image"
  if [ -n "$control" ]; then
    python3 tests/vm/stick.py control "$control" >> "$results/figures.txt"
    verdict=$?
    printf 'pull %s %s\t%s\t%d\t%d\n' "$fs" "$options" \
      "reset keeps only what was written back" \
      $((verdict == 0)) $((verdict != 0)) >> "$results/results.txt"
    [ $verdict -ne 0 ] || rm -f "$control"
  fi
}

case " $parts " in
  *" pull "*)
    start=$(date +%s)
    # The moments inside a run are counted in renames: a run's length here
    # swings several times over with the load on the host's disk. The reset
    # lands a rename or two after the one counted, so the last moment keeps
    # clear of the run's end.
    # The order step's moments count its files as they go out and come
    # back. VM_PULLS picks some of the moments. exfat has no flush.
    # "windows": the shipped Quenby.exe under Wine, on fewer moments, each
    # boot starting Wine. Not as its staging folder appears: Wine's flush
    # of a folder returns before the folder is written (read off the image
    # right after it, the new folder's cluster was missing; seconds later,
    # there), so a pull then finds what Wine left, not the program.
    for stick in vfat:defaults vfat:flush exfat:defaults vfat:windows; do
      moments="end 1 150 280 staging out:150 back:150 back:300"
      [ "$stick" != vfat:windows ] || moments="end 150 out:150 back:150"
      for when in ${VM_PULLS:-$moments}; do
        pull "${stick%%:*}" "${stick#*:}" $when
      done
    done
    # The user's next run on each stick pulled during the order step, one
    # boot for all: a numbering run of the same playlist and a removal run,
    # each on its own copy. Each finishes the step first.
    if [ -s "$results/recover.list" ]; then
      "$tool" "$root" sh tests/vm/recover.sh "$native" "$windows" \
        "$shipped" "$results/recover.list" > "$results/recover.log" 2>&1
      while read -r image fs options mode runner record; do
        tag=$(basename "$image" .img)
        any=
        [ "$record" = staged ] || any=--any-order
        [ "$runner" != windows ] || any=--windows
        figures=$(python3 tests/vm/stick.py check "$image" "$mode" \
                    --files $pull_files $any)
        verdict=$?
        echo "${tag#pull-}, next run ($(cat "$image.status" 2>/dev/null ||
          echo "no status")): $figures" >> "$results/figures.txt"
        moment=${tag#pull-$fs-$options-}
        printf 'next run %s %s\t%s\t%d\t%d\n' "$fs" "$options" \
          "$mode ($runner) after the pull ${moment%-$mode-$runner}" \
          $((verdict == 0)) $((verdict != 0)) >> "$results/results.txt"
        [ $verdict -ne 0 ] || rm -f "$image" "$image.status"
      done < "$results/recover.list"
    fi
    echo "test-vm: the pulls took $(( $(date +%s) - start )) s" ;;
esac

[ -s "$results/figures.txt" ] && cat "$results/figures.txt"
for log in bench bench-exfat bench-win; do
  [ -s "$results/$log.log" ] && grep -v '^fat_bench' "$results/$log.log"
done
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
