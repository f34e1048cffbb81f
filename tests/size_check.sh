#!/usr/bin/env bash
# Prints the size of the tests (tests/ and fuzz/) against the program code (every other top
# folder but bench/, examples/, man/ and .ci/), counted in tokens of the C++ sources git knows:
# identifiers, numbers, whole literals and punctuation marks, comments and white space nothing,
# so that layout changes nothing. Fails above MAX percent (40; the aim is a third). Uses
# ../shared/tools/test-share where it is there, and otherwise counts the same way itself.
set -euo pipefail
cd "$(dirname "$0")/.."
MAX=${MAX:-40}
if [ -x ../shared/tools/test-share ]; then
  exec ../shared/tools/test-share --max "$MAX"
fi
MAX=$MAX exec python3 - <<'PY'
import os, re, subprocess, sys
source = re.compile(r"\.(c|cc|cpp|cxx|h|hh|hpp)$")
literal = r'R"(?P<d>[^(\s]*)\(.*?\)(?P=d)"|"(?:\\.|[^"\\\n])*"|\'(?:\\.|[^\'\\\n])*\''
comment = re.compile(literal + r"|//[^\n]*|/\*.*?\*/", re.S)
token = re.compile(literal + r"|[A-Za-z_]\w*|\.?\d(?:[\w.']|[eEpP][+-])*|\S", re.S)
files = subprocess.run(["git", "ls-files", "-z"], capture_output=True, check=True).stdout
tests = program = 0
for path in filter(source.search, files.decode("utf-8", "replace").split("\0")):
    top = path.split("/", 1)[0] if "/" in path else ""
    text = open(path, encoding="utf-8", errors="replace").read()
    text = comment.sub(lambda m: " " if m.group(0).startswith("/") else m.group(0), text)
    count = len(token.findall(text))
    if top in ("tests", "fuzz"):
        tests += count
    elif top and top not in ("bench", "examples", "tools", "man", ".ci", "shared"):
        program += count
share = 100.0 * tests / program
print("tests are %.1f%% of the program code: %d tokens in tests/ and fuzz/, %d in the program"
      % (share, tests, program))
sys.exit(1 if share > float(os.environ["MAX"]) else 0)
PY
