#!/bin/sh
# Runs the command-line test tables, built for Linux, against the Windows executables under
# wine: tests/windows_cli_tests.sh LINUX_BUILD WINDOWS_BUILD [GTEST ARGUMENTS...]
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
CORVANE_TOOL="$windows/corvane-wine" PELLUX_TOOL="$windows/pellux-wine" TOOLS_UNDER_WINE=1 \
  "$linux/tests/cli_tests" "$@"
