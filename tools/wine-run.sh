#!/usr/bin/env bash
# Runs a Windows program in the test prefix (the emulator that CTest uses).
# WINEPREFIX names the prefix that wine-env.sh brought up, WINEARCH its kind.
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX must name the test prefix}"
export WINEARCH=${WINEARCH:-win32} WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
if [ -z "${DISPLAY:-}" ] && [ -f "$WINEPREFIX.state/display" ]; then
  export DISPLAY=$(cat "$WINEPREFIX.state/display")
fi
if [ "$WINEARCH" = win64 ]; then
  exec /usr/lib/wine/wine64 "$@"
fi
exec wine "$@"
