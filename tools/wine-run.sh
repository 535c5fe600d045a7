#!/usr/bin/env bash
# Runs a Windows program in the test prefix (the emulator that CTest uses).
# WINEPREFIX names the prefix that wine-env.sh brought up, WINEARCH its kind.
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX must name the test prefix}"
# No crash may start the debugger and wait for a person, and no install may
# write menu entries into the home folder of the user who runs the tests.
export WINEARCH=${WINEARCH:-win32} WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d;winemenubuilder.exe=d"
if [ -z "${DISPLAY:-}" ] && [ -f "$WINEPREFIX.state/display" ]; then
  export DISPLAY=$(cat "$WINEPREFIX.state/display")
fi
# Files the shell deletes go to the desktop's trash: keep that trash beside
# the prefix instead of the user's own.
export XDG_DATA_HOME="$WINEPREFIX.state/xdg-data"
if [ "$WINEARCH" = win64 ]; then
  exec /usr/lib/wine/wine64 "$@"
fi
exec wine "$@"
