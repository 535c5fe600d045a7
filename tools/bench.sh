#!/usr/bin/env bash
# Builds and runs the benchmarks under Wine and prints their figures.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
preset=mingw
tools/runs-32bit.sh || preset=mingw64
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
prefix=build/$preset/wineprefix
arch=win32; [ "$preset" = mingw64 ] && arch=win64
tools/wine-env.sh up "$prefix" "$arch"
trap 'tools/wine-env.sh down "$prefix" "$arch"' EXIT
export WINEPREFIX=$PWD/$prefix WINEARCH=$arch
for bench in build/$preset/bin/*_bench.exe; do
  echo "== $(basename "$bench" .exe)"
  tools/wine-run.sh "$bench"
done
