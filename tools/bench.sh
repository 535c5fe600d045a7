#!/usr/bin/env bash
# Builds and runs the benchmarks under Wine and prints their figures; with
# names (page_switch, guard, ...), only those benchmarks.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
preset=mingw
tools/runs-32bit.sh || preset=mingw64
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"

# Size budget of what ships (the 32-bit product build).
cmake --preset mingw >/dev/null
cmake --build --preset mingw >/dev/null
echo "== size of what ships (budget)"
# The 64-bit guard ships inside the installer, as Vexmoor64.dll.
for entry in bin/Vexmoor.dll:320 x64/bin/Vexmoor.dll:320 bin/Norvane.exe:512 bin/NorvaneSetup.exe:1024; do
  file=${entry%%:*} budget=${entry##*:}
  name=$(basename "$file"); [ "${file#x64/}" != "$file" ] && name=Vexmoor64.dll
  kb=$(( ($(stat -c %s "build/mingw/$file") + 1023) / 1024 ))
  verdict=within; [ "$kb" -le "$budget" ] || verdict=OVER
  printf '  %-18s %5d KB   budget %5d KB   %s\n' "$name" "$kb" "$budget" "$verdict"
done
prefix=build/$preset/wineprefix
arch=win32; [ "$preset" = mingw64 ] && arch=win64
tools/wine-env.sh up "$prefix" "$arch"
trap 'tools/wine-env.sh down "$prefix" "$arch"' EXIT
export WINEPREFIX=$PWD/$prefix WINEARCH=$arch
benches=()
for name in "$@"; do benches+=("build/$preset/bin/${name%_bench}_bench.exe"); done
[ ${#benches[@]} -gt 0 ] || benches=(build/$preset/bin/*_bench.exe)
for bench in "${benches[@]}"; do
  echo "== $(basename "$bench" .exe)"
  tools/wine-run.sh "$bench"
done
