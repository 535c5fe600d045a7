#!/usr/bin/env bash
# Brings up (or down) the test environment: a private Wine prefix (32-bit,
# or 64-bit for the x86_64 test build),
# a running wineserver and an Xvfb display that real windows can use.
#   wine-env.sh up PREFIX [win32|win64]    boot the prefix once, start Xvfb and wineserver
#   wine-env.sh down PREFIX [win32|win64]  stop wineserver and Xvfb
set -euo pipefail
action=$1
prefix=$(realpath -m "$2")
state="$prefix.state"
export WINEPREFIX="$prefix" WINEARCH=${3:-win32} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

start_display() {
  if [ -f "$state/display" ] && kill -0 "$(cat "$state/xvfb.pid")" 2>/dev/null; then
    return
  fi
  mkdir -p "$state"
  rm -f "$state/display.n"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$state/display.n" >/dev/null 2>&1 &
  echo $! > "$state/xvfb.pid"
  local n="" i
  for i in $(seq 100); do
    n=$(tr -dc 0-9 < "$state/display.n")
    [ -n "$n" ] && break
    sleep 0.1
  done
  [ -n "$n" ] || { echo "Xvfb did not start" >&2; exit 1; }
  echo ":$n" > "$state/display"
}

case "$action" in
  up)
    start_display
    export DISPLAY=$(cat "$state/display")
    if [ ! -f "$prefix/system.reg" ]; then
      mkdir -p "$prefix"
      "$(dirname "$0")/wine-run.sh" wineboot -i >/dev/null 2>&1
      wineserver -w  # the boot's registry is on disk once its server has gone
    fi
    wineserver -p 2>/dev/null || true  # already running is fine
    # Xvfb has no window manager: with managed X11 windows Wine waits about
    # 2 s for one at every hide. The first command also warms the server.
    "$(dirname "$0")/wine-run.sh" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
      >/dev/null 2>&1 || true
    ;;
  down)
    wineserver -k 2>/dev/null || true
    if [ -f "$state/xvfb.pid" ]; then
      kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true
      rm -f "$state/xvfb.pid" "$state/display"
    fi
    ;;
  *) echo "usage: $0 up|down PREFIX" >&2; exit 2 ;;
esac
