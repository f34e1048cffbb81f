#!/usr/bin/env bash
# The bundled example: build a container from list.txt with corvane and show what it holds,
# then extract every file from example.fst with pellux and compare it with its source.
# Usage: examples/demo.sh <build folder>
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
work="$build/demo"
rm -rf "$work"
mkdir -p "$work"
cp -r "$root/examples/files" "$root/examples/list.txt" "$work/"
cd "$work"

echo "== corvane list.txt demo.sol   (in $work)"
"$build/corvane" list.txt demo.sol
"$build/show_container" demo.sol
echo

echo "== pellux: every file of examples/example.fst, by base name"
for name in README.TXT logo.bin 'any\dir\silence.raw' empty.dat; do
  base=${name##*\\}
  base=$(echo "$base" | tr 'A-Z' 'a-z')
  "$build/pellux" "$root/examples/example.fst" "$name" "extracted-$base"
  if cmp -s "extracted-$base" "files/$base"; then
    echo "   -> extracted-$base is identical to files/$base"
  else
    echo "   -> extracted-$base DIFFERS from files/$base"
    exit 1
  fi
  echo
done
echo "demo done"
