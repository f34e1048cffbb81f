#!/bin/sh
# Runs the command-line test tables, built for Linux, against the Windows executables under
# wine: tests/windows_cli_tests.sh LINUX_BUILD WINDOWS_BUILD [GTEST ARGUMENTS...]
#
# Wine itself now and then ends a program with a status the program never returned (seen in
# CI: 127 after the program had printed its message and left its files as expected; once 1),
# and never twice in a row. So the tests that fail are run once more on their own, and the run
# passes only if they all pass then: a fault of the programs that shows every time fails both
# times (one that shows only now and then can pass the second time). Both runs' reports stay
# in the log.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
linux=$(cd "$1" && pwd)
windows=$(cd "$2" && pwd)
shift 2
# The tests start one program by its path: a launcher per tool runs its .exe through wine.
for tool in corvane pellux; do
  printf '#!/bin/sh\nexec "%s" "%s" "$@"\n' "$here/wine-run" "$windows/$tool.exe" \
    >"$windows/$tool-wine"
  chmod +x "$windows/$tool-wine"
done
# One wine server for the whole run, started outside the limits the tests put on the tools.
"$here/wine-run" --init
trap '"$here/wine-run" --stop' EXIT
run_tests() {
  CORVANE_TOOL="$windows/corvane-wine" PELLUX_TOOL="$windows/pellux-wine" TOOLS_UNDER_WINE=1 \
    "$linux/tests/cli_tests" "$@"
}
report="$windows/cli_tests.log"
rm -f "$report" "$report.status"
{
  status=0
  run_tests "$@" 2>&1 || status=$?
  echo "$status" >"$report.status"
} | tee "$report"
status=$(cat "$report.status")
[ "$status" -eq 0 ] && exit 0
# gtest's summary names each failed test on a line "[  FAILED  ] Suite.Test" (the lines of the
# run itself end in a time in parentheses).
failed=$(sed -n 's/^\[  FAILED  \] \([A-Za-z0-9_]*\.[A-Za-z0-9_]*\)$/\1/p' "$report" | sort -u |
  paste -sd: -)
# gtest ends with " N FAILED TEST(S)": any failure the names above do not cover is not retried.
count=$(sed -n 's/^ *\([0-9]*\) FAILED TESTS*$/\1/p' "$report")
if [ -z "$failed" ] || [ "$count" != "$(printf '%s' "$failed" | tr ':' '\n' | grep -c .)" ]; then
  echo "windows_cli_tests: the run failed (status $status) in a way not retried" >&2
  exit "$status"
fi
echo "windows_cli_tests: running again, on their own, the tests that failed: $failed"
{
  status=0
  run_tests "$@" --gtest_filter="$failed" 2>&1 || status=$?
  echo "$status" >"$report.status"
} | tee -a "$report"
status=$(cat "$report.status")
[ "$status" -eq 0 ] || exit "$status"
echo "windows_cli_tests: $failed passed when run again; the first run's failure is above"
