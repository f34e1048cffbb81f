#!/usr/bin/env bash
# The bundled example archive must be exactly what make_fst writes from examples/files, so
# that anyone can rebuild it (make example-archive) and get the same bytes.
set -euo pipefail
make_fst=$1
examples=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$examples"
"$make_fst" "$scratch/example.fst" \
  c files/readme.txt u files/logo.bin c files/silence.raw u files/empty.dat
cmp "$scratch/example.fst" example.fst
