#!/usr/bin/env bash
# Fails when a shipped binary imports a function that Windows XP SP3 lacks:
# every import must stand in the reviewed list (tools/imports/xp-sp3.txt).
# A function newer than XP is looked up by name at run time instead.
#   check-imports.sh BINARY...
set -euo pipefail
list="$(dirname "$0")/imports/xp-sp3.txt"
objdump=$(command -v i686-w64-mingw32-objdump || command -v x86_64-w64-mingw32-objdump)

# "dll!function" for every import of a binary, the DLL name in lower case.
imports() {
  "$objdump" -p "$1" | awk '
    /DLL Name:/ { dll = tolower($3); next }
    /^[ \t]*$/ || /Import Tables|Hint\/Ord|Export|vma:/ { next }
    dll != "" && NF == 3 && $1 ~ /^[0-9a-f]+$/ && $2 ~ /^[0-9]+$/ { print dll "!" $3 }
    /^The Export Tables|^PE File Base Relocations/ { dll = "" }'
}

allowed=$(grep -v -E '^[[:space:]]*(#|$)' "$list" | awk '{print tolower($1)}' | sort -u)
status=0
for binary in "$@"; do
  unknown=$(imports "$binary" | awk '{print tolower($0)}' | sort -u | comm -23 - <(echo "$allowed"))
  if [ -n "$unknown" ]; then
    echo "$(basename "$binary") imports what Windows XP SP3 may lack (not in $list):" >&2
    echo "$unknown" | sed 's/^/  /' >&2
    status=1
  else
    echo "$(basename "$binary"): $(imports "$binary" | wc -l) imports, all on Windows XP SP3"
  fi
done
exit $status
