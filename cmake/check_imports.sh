#!/bin/sh
# Fails unless every given Windows executable imports only DLLs that Windows itself ships, so
# that it runs on a bare system: cmake/check_imports.sh PROGRAM.exe...
set -eu
objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}
for exe in "$@"; do
  dlls=$("$objdump" -p "$exe" | awk '/DLL Name:/ {print $3}')
  [ -n "$dlls" ] || { echo "$exe: no imports found" >&2; exit 1; }
  others=$(echo "$dlls" | grep -vixE 'kernel32\.dll|msvcrt\.dll' || true)
  if [ -n "$others" ]; then
    echo "$exe needs DLLs that Windows does not ship:" $others >&2
    exit 1
  fi
  echo "$exe imports only" $dlls
done
