#!/usr/bin/env bash
# The main job: sets up a fresh Debian machine, builds Norvane and says what it built.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
cmake --preset mingw >/dev/null
cmake --build --preset mingw
echo "Built for 32-bit Windows in build/mingw/bin:"
for f in build/mingw/bin/*; do
  printf '  %-24s %s\n' "$(basename "$f")" "$(file -b "$f" | cut -d, -f1-2)"
done
