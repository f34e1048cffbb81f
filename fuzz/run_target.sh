#!/usr/bin/env bash
# Runs one libFuzzer target for a number of seconds from a copy of its checked-in corpus, and
# fails when it finds a fault or when its final coverage stays below the target's floor.
#   fuzz/run_target.sh <fuzz build folder> <target> <seconds>
set -euo pipefail
build=$1 target=$2 seconds=$3
root=$(cd "$(dirname "$0")/.." && pwd)
floor=$(awk -v t="$target" '$1 == t { print $2 }' "$root/fuzz/coverage_floors")
# The longest input each target is given. One segment that fills the code table is CLEAR and
# 3,839 data codes, 5,408 bytes of stream (5,410 with the CLEAR after it), so the default of
# 4,096 never fills it; each code stream target gets room for four such segments in a row or
# for a segment that goes on past a full table, with room to grow its largest seed.
case $target in
  # 3 bytes of capacity and piece size, then the stream (seeds up to 18 KB); the capacity
  # is at most 65,535, which keeps each decoding short whatever the stream.
  decode) max_len=24576 ;;
  # Entries of up to 4,095 bytes, each encoded, modelled and read back: a segment takes at
  # least 3,839 input bytes (one per code), so 16 KiB holds four entries that fill the table.
  writer) max_len=16384 ;;
  # The name and a table of one 262-byte record, or the 16-byte header of a container with
  # one entry, before a stream of up to four segments (seeds up to 16.6 KB).
  archive | container) max_len=24576 ;;
  # No code stream: file lists keep libFuzzer's default.
  *) max_len=4096 ;;
esac
corpus=$build/corpus/$target
log=$build/fuzz_$target.log
rm -rf "$corpus" && mkdir -p "$corpus" && cp "$root/fuzz/corpus/$target/"* "$corpus/"
status=0
"$build/fuzz/fuzz_$target" -max_total_time="$seconds" -max_len="$max_len" -print_final_stats=1 \
  -artifact_prefix="$build/" "$corpus" > "$log" 2>&1 || status=$?
grep -E 'DONE|ERROR|SUMMARY|number_of_executed_units' "$log" || true
cov=$(grep -oE 'cov: [0-9]+' "$log" | tail -n 1 | awk '{ print $2 }')
if [ "$status" -ne 0 ]; then
  echo "fuzz_$target failed (status $status); see $log"
  exit 1
fi
if [ -z "$cov" ] || [ "$cov" -lt "$floor" ]; then
  echo "fuzz_$target reached coverage ${cov:-none}, below its floor $floor: is it instrumented?"
  exit 1
fi
echo "fuzz_$target: coverage $cov (floor $floor)"
