#!/usr/bin/env bash
# The bundled example archive must be exactly what pellux -c writes from examples/manifest.txt,
# so that anyone can rebuild it (make example-archive) and get the same bytes.
set -euo pipefail
pellux=$1
examples=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$pellux" -c "$scratch/example.fst" "$examples/manifest.txt" > /dev/null
cmp "$scratch/example.fst" "$examples/example.fst"
