#!/bin/sh
# Runs inside the emulated machine (scripts/test-vm.sh starts it there), as
# root, in the shared source folder:
#   1. the i686 Windows test tree under 32-bit Wine, through its own CTest;
#   2. the engine's real-file-system and FAT suites, built natively here,
#      on FAT images under the kernel's vfat driver, once per set of mount
#      options, each image checked with fsck.vfat afterwards;
#   3. the time of numbering a folder of 3,000 files on vfat, its order step
#      apart, against the bare rename loops, and of numbering an album
#      (bench/fat_bench), on RESULTS/bench.img, whose folders the host
#      made; the image goes back as RESULTS/bench-after.img for the host to
#      read the numbered folders' slot order; then the same on an exFAT
#      image made here (RESULTS/bench-after-exfat.img); then, on
#      RESULTS/bench-win.img, the shipped Quenby.exe under Wine against
#      the same durable loop in Windows' calls (RESULTS/bench-after-win.img);
#   4. numbering runs of each playlist on RESULTS/order.img and
#      RESULTS/order-exfat.img (filled here from its seed first), the
#      sticks that tests/vm/order_stick.py made and reads, by the Linux
#      engine, and on the order-win sticks by the shipped Quenby.exe under
#      Wine.
# Each step's outcome goes to RESULTS/results.txt as
# "part<TAB>step<TAB>passed<TAB>failed", counted in test cases.
#
#   guest.sh NATIVE_BUILD WINDOWS_TEST_BUILD SHIPPED_EXE RESULTS [PART...]
# PART is "windows", "vfat", "bench" or "order"; all when none is given.
set -u
native=$1
windows=$2
shipped=$3
results=$4
shift 4
parts=${*:-windows vfat bench order}
blank=$results/vfat.img  # Made by mkfs.vfat on the host.
touch "$results/results.txt"  # Emptied by the host, which adds to it.
if [ -f "$results/real-playlists.path" ]; then
  target=$(cat "$results/real-playlists.path")
  mkdir -p "$target" && mount --bind "$results/real-playlists" "$target"
fi

# Counts a step's test cases from its output: GoogleTest's per-case lines,
# each CTest test on its own (CTest -V puts "N: " before a test's lines). A
# test without case lines counts as one case, by its outcome, but for one
# that skipped itself (what it needs is not in the machine); a test that
# failed without a failed case (a crash, a timeout) counts one failure more.
count() {  # count PART STEP LOG STATUS
  awk -v part="$1" -v step="$2" -v status="$4" '
    { n = 0; line = $0 }
    match(line, /^[0-9]+: /) { n = substr(line, 1, RLENGTH - 2) + 0
                               line = substr(line, RLENGTH + 1) }
    line ~ /^\[       OK \] / { ok[n]++; seen[n] = 1 }
    line ~ /^\[  FAILED  \] .*\([0-9]+ ms\)$/ { bad[n]++; seen[n] = 1 }
    match($0, /Test +#[0-9]+: /) {
      number = substr($0, RSTART, RLENGTH); sub(/^Test +#/, "", number)
      result[number + 0] = "fail"
      if ($0 ~ /Passed/) result[number + 0] = "pass"
      else if ($0 ~ /\*\*\*Skipped/) result[number + 0] = "skip"
    }
    END {
      for (n in result) tests++
      if (!tests) result[0] = status == 0 ? "pass" : "fail"
      for (n in result) {
        passed += ok[n]; failed += bad[n]
        if (result[n] == "skip") continue
        if (!seen[n]) { if (result[n] == "pass") passed++; else failed++ }
        else if (result[n] == "fail" && !bad[n]) failed++
      }
      printf "%s\t%s\t%d\t%d\n", part, step, passed, failed
    }' "$3" >> "$results/results.txt"
  tail -n 1 "$results/results.txt" | awk -F '\t' \
    '{ printf "== %s, %s: %d passed, %d failed\n", $1, $2, $3, $4 }'
}

# step PART STEP LOGNAME COMMAND...: runs COMMAND, keeps its output, counts.
step() {
  part=$1 name=$2 log=$results/$3.log
  shift 3
  echo "== $part, $name ..."
  "$@" > "$log" 2>&1
  status=$?
  [ $status -eq 0 ] || tail -n 40 "$log"
  count "$part" "$name" "$log" $status
}

windows_part() {
  # Started from the shared folder, every test program crashed on its first
  # instruction, its code read as zeros; copies on the machine's own disk
  # run. So each program is copied there and mounted over its own path.
  mkdir -p /tmp/exe
  programs="$shipped $(ls "$windows"/*.exe)"
  for program in $programs; do
    copy=/tmp/exe/$(echo "$program" | tr / _)
    cp "$program" "$copy" && mount --bind "$copy" "$program"
  done
  # The prefix the machine was made with serves these tests; the fonts
  # and the window captions are set up there already.
  # The archive's own bytes are checked by make test; its exe is run here.
  step windows "i686 tree under 32-bit Wine (CTest)" windows \
    ctest --test-dir "$windows" -V --timeout 600 -E '^dist_archive_test$'
  for program in $programs; do umount "$program"; done
}

vfat_part() {
  modprobe -q loop; modprobe -q vfat; modprobe -q exfat
  mkdir -p /mnt/vfat
  # Big sticks come formatted exFAT, which desktops mount with defaults.
  exfat_blank=/tmp/exfat-blank.img
  truncate -s 16M "$exfat_blank" && mkfs.exfat "$exfat_blank" >/dev/null
  for mount in vfat:defaults vfat:iocharset=utf8 vfat:shortname=mixed \
               vfat:iocharset=utf8,shortname=mixed exfat:defaults; do
    type=${mount%%:*} options=${mount#*:}
    tag=$type-$(echo "$options" | tr ',=' '-_')
    image=/tmp/$tag.img
    if [ "$type" = exfat ]; then
      type_blank=$exfat_blank variable=QUENBY_TEST_EXFAT
    else
      type_blank=$blank variable=QUENBY_TEST_VFAT
    fi
    cp "$type_blank" "$image"
    if ! mount -t "$type" -o "loop,$options" "$image" /mnt/vfat; then
      printf '%s %s\tmount\t0\t1\n' "$type" "$options" >> "$results/results.txt"
      continue
    fi
    # The real-file-system suite with its folders on the stick, but for
    # what FAT cannot hold: FIFOs, symbolic links and (utf8 being on in
    # every set here) names that are not UTF-8. The FAT suite covers names
    # outside ASCII.
    step "$type $options" "Linux suite" "linux-$tag" \
      env TMPDIR=/mnt/vfat "$native/tests/engine_tests" \
      --gtest_filter='Linux*-*NoRegularFile*:*NeverFollowsALink:*SpecialPlaylists*:*NumbersAndRestoresEveryName'
    umount /mnt/vfat
    step "$type $options" "fsck.$type of its image" "fsck-$tag" \
      "fsck.$type" -n "$image"
    rm -f "$image"
    # The FAT suites make an image of their own per test from the blank one.
    step "$type $options" "FAT suite" "fat-$tag" \
      env "$variable=$options" QUENBY_TEST_VFAT_IMAGE="$type_blank" \
      "$native/tests/engine_tests" --gtest_filter='Fat*'
    step "$type $options" "killed numbering runs" "kill-$tag" \
      env "$variable=$options" QUENBY_TEST_VFAT_IMAGE="$type_blank" \
      "$native/tests/reliability/reliability_tests" \
      --gtest_filter='*OnFat*'
  done
}

bench_part() {
  modprobe -q loop; modprobe -q vfat
  mkdir -p /mnt/bench
  # On the machine's own memory, so that the figures do not wait on the
  # host's disk, which other work shares.
  cp "$results/bench.img" /tmp/bench.img &&
    mount -t vfat -o loop /tmp/bench.img /mnt/bench ||
    { printf 'bench\tmount its image\t0\t1\n' >> "$results/results.txt"
      return; }
  step bench "vfat: 3,000 files, engine and loops" bench \
    "$native/bench/fat_bench" /mnt/bench --files 3000 \
    --runs "${VM_BENCH_RUNS:-1}"
  umount /mnt/bench
  mv /tmp/bench.img "$results/bench-after.img"
  # The same on exFAT, which the host cannot write: the folders are made
  # here, and synced before any side is timed.
  modprobe -q exfat
  # Each file takes a cluster of its own there: room for every run, in
  # clusters of 4 KiB, which mkfs.exfat picks only for images under 256 MiB.
  truncate -s "$((64 * ${VM_BENCH_RUNS:-1}))M" /tmp/bench-exfat.img &&
    mkfs.exfat -c 4K /tmp/bench-exfat.img >/dev/null &&
    mount -t exfat -o loop /tmp/bench-exfat.img /mnt/bench &&
    "$native/bench/fat_bench" /mnt/bench --files 3000 \
      --runs "${VM_BENCH_RUNS:-1}" --make-only && sync ||
    { printf 'bench\texfat: make its folders\t0\t1\n' >> "$results/results.txt"
      return; }
  step bench "exfat: 3,000 files, engine and loops" bench-exfat \
    "$native/bench/fat_bench" /mnt/bench --files 3000 \
    --runs "${VM_BENCH_RUNS:-1}"
  umount /mnt/bench
  mv /tmp/bench-exfat.img "$results/bench-after-exfat.img"
  # Windows' side: the program's run through its dialog and the loop, as
  # drive E:, each run on folders of its own that the host made.
  cp "$results/bench-win.img" /tmp/bench-win.img &&
    mount -t vfat -o loop /tmp/bench-win.img /mnt/bench ||
    { printf 'bench\twindows: mount its image\t0\t1\n' >> "$results/results.txt"
      return; }
  sync
  step bench "vfat under Wine: 3,000 files, Quenby.exe and the loop" \
    bench-win sh -c '
      # The flush requests of the stick, field 16 of its block stat file.
      flushes() {
        awk "{ print \$16 }" "/sys/dev/block/$(stat -c %Hd:%Ld /mnt/bench)/stat"
      }
      timed() {
        before=$(flushes)
        sh "$2" "$3" "$4" /mnt/bench "$5" "$6" || exit 1
        awk -v a="$before" -v b="$(flushes)" "BEGIN {
          printf \"  flush requests per file: %.2f\\n\", (b - a) / 3000 }"
      }
      for run in $(seq 0 $(($1 - 1))); do
        sync && timed "$@" quenby_alive_probe.exe "E:\engine-$run.m3u" &&
          sync && timed "$@" quenby_durable_loop.exe "E:\durable-$run.m3u" ||
          exit 1
      done' sh "${VM_BENCH_RUNS:-1}" "$(dirname "$0")/wine_stick.sh" \
    "$windows" "$shipped"
  umount /mnt/bench
  mv /tmp/bench-win.img "$results/bench-after-win.img"
}

order_part() {
  modprobe -q loop; modprobe -q vfat; modprobe -q exfat
  mkdir -p /mnt/order
  for stick in vfat:order exfat:order-exfat vfat:order-win \
               exfat:order-win-exfat; do
    fs=${stick%%:*} image=$results/${stick#*:}.img
    [ -f "$image" ] || continue
    if ! sh "$(dirname "$0")/fill_stick.sh" "$image" "$fs" ||
       ! mount -t "$fs" -o loop "$image" /mnt/order; then
      printf 'order\t%s: mount its stick\t0\t1\n' "$fs" >> "$results/results.txt"
      continue
    fi
    for playlist in album.m3u mix.m3u root.m3u; do
      case $image in
        *-win*)
          step order "$fs: Quenby.exe's numbering run of $playlist" \
            "order-win-$fs-$playlist" sh "$(dirname "$0")/wine_stick.sh" \
            "$windows" "$shipped" /mnt/order quenby_alive_probe.exe \
            "E:\\$playlist" ;;
        *)
          step order "$fs: numbering run of $playlist" "order-$fs-$playlist" \
            "$native/tests/reliability/crash_driver" /mnt/order "$playlist" \
            number ;;
      esac
    done
    umount /mnt/order
  done
}

for part in $parts; do
  case $part in
    windows) windows_part ;;
    vfat) vfat_part ;;
    bench) bench_part ;;
    order) order_part ;;
    *) echo "guest.sh: unknown part $part" >&2; exit 2 ;;
  esac
done
