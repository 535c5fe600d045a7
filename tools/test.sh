#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds Norvane and runs every test under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$(date +%s)
tools/setup.sh

# The product is 32-bit: it is always built, warnings as errors.
cmake --preset mingw >/dev/null
cmake --build --preset mingw
# What ships must load on Windows XP SP3: no import that it lacks.
tools/check-imports.sh build/mingw/bin/Vexmoor.dll build/mingw/bin/Norvane.exe build/mingw/bin/NorvaneSetup.exe \
  build/mingw/bin/SettingsAccess.exe

preset=mingw
if ! tools/runs-32bit.sh; then
  echo "This kernel runs no 32-bit code (wine32 cannot start): testing the 64-bit build under wine64."
  preset=mingw64
  cmake --preset mingw64 >/dev/null
  cmake --build --preset mingw64
fi
built=$(date +%s)
status=0
ctest --preset "$preset" || status=$?
ended=$(date +%s)
echo "Wall time: set-up and build $((built - started)) s, tests $((ended - built)) s, in all $((ended - started)) s."
exit "$status"
