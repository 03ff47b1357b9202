#!/bin/sh
# Runs one fuzzer on the committed seeds plus a working corpus of its own, so
# that the seeds in the repository are never written to. Findings (crash-*,
# leak-*, timeout-*) land in the working folder.
#   run-fuzzer.sh fresh|keep FUZZER SEEDS WORK [libFuzzer options...]
# "fresh" starts the working corpus empty, for runs that must repeat exactly.
set -eu
how=$1 fuzzer=$2 seeds=$3 work=$4
shift 4
[ "$how" = fresh ] && rm -rf "$work"
mkdir -p "$work/corpus"
exec "$fuzzer" -artifact_prefix="$work/" -max_len=4096 -timeout=10 \
  -print_final_stats=1 "$@" "$work/corpus" "$seeds"
