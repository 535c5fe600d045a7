#!/usr/bin/env bash
# Starts (or stops) the sites the runs browse, on loopback addresses only.
#   sites.sh up STATE_DIR [--port N]   serve them (on port N where it is free);
#                                      STATE_DIR/ports lists "address port"
#   sites.sh down STATE_DIR    stop them
# The server ends by itself after a quarter of an hour whatever happens.
set -euo pipefail
action=$1
state=$(realpath -m "$2")
mkdir -p "$state"
case "$action" in
  up)
    rm -f "$state/stop" "$state/ports"
    # The page at 127.0.0.2 frames the site at 127.0.0.3.
    nohup python3 "$(dirname "$0")/serve.py" --ports "$state/ports" --stop "$state/stop" --life 900 \
      --frames 127.0.0.2=127.0.0.3 "${@:3}" 127.0.0.2 127.0.0.3 127.0.0.4 127.0.0.5 >"$state/log" 2>&1 &
    for _ in $(seq 100); do
      if [ -f "$state/ports" ]; then
        cat "$state/log" >&2  # a port that was taken, and the one taken instead
        exit 0
      fi
      sleep 0.1
    done
    echo "The sites did not start: $(cat "$state/log")" >&2
    exit 1
    ;;
  down)
    touch "$state/stop"
    for _ in $(seq 50); do
      [ -f "$state/ports" ] || exit 0
      sleep 0.1
    done
    ;;
  *) echo "usage: $0 up|down STATE_DIR" >&2; exit 2 ;;
esac
