#!/usr/bin/env bash
# The bundled example: build a container from list.txt with corvane, list and test it, unpack
# it and rebuild it byte for byte; then list, test and extract examples/example.fst with pellux
# and compare every file with its source; then take the archive apart, change one file, put it
# back together and extract the changed entry.
# Usage: examples/demo.sh <build folder>
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
work="$build/demo"
rm -rf "$work"
mkdir -p "$work"
cp -r "$root/examples/files" "$root/examples/list.txt" "$work/"
cd "$work"

run() {
  echo "== $*"
  "$@"
  echo
}

run "$build/corvane" list.txt demo.sol
run "$build/corvane" -l demo.sol
run "$build/corvane" -t demo.sol
run "$build/corvane" -x demo.sol unpacked
(cd unpacked && run "$build/corvane" list.txt ../rebuilt.sol)
cmp demo.sol rebuilt.sol
echo "   -> rebuilt.sol is identical to demo.sol"
echo

archive="$root/examples/example.fst"
run "$build/pellux" -l "$archive"
run "$build/pellux" -t "$archive"
run "$build/pellux" -x "$archive" extracted
for name in readme.txt logo.bin silence.raw empty.dat; do
  cmp "extracted/$name" "files/$name"
  echo "   -> extracted/$name is identical to files/$name"
done
echo
# One entry by name: directories and letter case are ignored.
run "$build/pellux" "$archive" 'any\dir\README.TXT' one-entry.txt
cmp one-entry.txt files/readme.txt
echo "   -> one-entry.txt is identical to files/readme.txt"
echo

# The round trip: unpack, edit, repack. The manifest keeps every entry's name and order.
run "$build/pellux" -u "$archive" unpacked-fst
echo "A line added after unpacking." >> unpacked-fst/files/files/readme.txt
run "$build/pellux" -c repacked.fst unpacked-fst/manifest.txt
run "$build/pellux" repacked.fst readme.txt changed.txt
cmp changed.txt unpacked-fst/files/files/readme.txt
echo "   -> changed.txt is the edited readme.txt, read back from repacked.fst"
echo "demo done"
