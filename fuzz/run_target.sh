#!/usr/bin/env bash
# Runs one libFuzzer target for a number of seconds from a copy of its checked-in corpus, and
# fails when it finds a fault or when its final coverage stays below the target's floor.
#   fuzz/run_target.sh <fuzz build folder> <target> <seconds>
set -euo pipefail
build=$1 target=$2 seconds=$3
root=$(cd "$(dirname "$0")/.." && pwd)
floor=$(awk -v t="$target" '$1 == t { print $2 }' "$root/fuzz/coverage_floors")
corpus=$build/corpus/$target
log=$build/fuzz_$target.log
rm -rf "$corpus" && mkdir -p "$corpus" && cp "$root/fuzz/corpus/$target/"* "$corpus/"
status=0
"$build/fuzz/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
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
