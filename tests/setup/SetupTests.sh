#!/usr/bin/env bash
# tools/setup.sh against an apt-get that fails as a package mirror caught
# mid-update does: an i386 index of one suite with the wrong size (exit 100),
# then, with that suite's lists missing, wine32:i386 that cannot be resolved.
# The shims stand first on the PATH; nothing is installed or changed.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
passed=0
failed=0

shims=$(mktemp -d)
trap 'rm -rf "$shims"' EXIT

# dpkg-query: nothing is installed. dpkg: i386 is already added. sudo: runs it.
cat >"$shims/dpkg-query" <<'SH'
#!/bin/sh
exit 1
SH
cat >"$shims/dpkg" <<'SH'
#!/bin/sh
[ "$1" = --print-foreign-architectures ] && echo i386
exit 0
SH
cat >"$shims/sudo" <<'SH'
#!/bin/sh
exec "$@"
SH
# apt-get: SHIM_UPDATE_FAILS updates fail before one succeeds; an install
# succeeds when SHIM_INSTALL is "ok", or "pinned" and the failed suite is
# pinned away. Every call is logged.
cat >"$shims/apt-get" <<'SH'
#!/bin/bash
echo "apt-get $*" >>"$SHIM_DIR/calls"
case " $* " in
  *" update "*)
    n=$(grep -c ' update' "$SHIM_DIR/calls")
    if [ "$n" -le "$SHIM_UPDATE_FAILS" ]; then
      echo "E: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 203.0.113.80 80]" >&2
      echo "E: Some index files failed to download. They have been ignored, or old ones used instead." >&2
      exit 100
    fi
    exit 0 ;;
  *" install "*)
    prefs=$(printf '%s\n' "$@" | sed -n 's/^Dir::Etc::PreferencesParts=//p')
    if [ "$SHIM_INSTALL" = ok ] ||
       { [ "$SHIM_INSTALL" = pinned ] && [ -n "$prefs" ] && grep -q 'n=bookworm-security' "$prefs"/*.pref &&
         grep -A1 'n=bookworm-security' "$prefs"/*.pref | grep -q 'Pin-Priority: -1'; }; then
      echo "Setting up wine32:i386 (8.0~repack-4) ..."
      exit 0
    fi
    cat >&2 <<'ERR'
Some packages could not be installed. This may mean that you have
requested an impossible situation.
The following packages have unmet dependencies:
 libcurl4:i386 : Depends: zlib1g:i386 (>= 1:1.1.4) but it is not going to be installed
 libxml2:i386 : Depends: liblzma5:i386 (>= 5.1.1alpha+20120614) but it is not going to be installed
E: Unable to correct problems, you have held broken packages.
ERR
    exit 100 ;;
esac
exit 0
SH
chmod +x "$shims"/*

# run NAME UPDATE_FAILS INSTALL: tools/setup.sh with the shims; its output
# in $out, its exit code in $rc, the apt-get calls in $calls.
run() {
  local dir="$shims/$1"
  mkdir -p "$dir"
  out=$(PATH="$shims:$PATH" SHIM_DIR="$dir" SHIM_UPDATE_FAILS=$2 SHIM_INSTALL=$3 \
        NORVANE_SETUP_RETRY_DELAY=0 TMPDIR="$dir" bash "$root/tools/setup.sh" 2>&1)
  rc=$?
  calls=$(cat "$dir/calls" 2>/dev/null)
}

check() {  # check DESCRIPTION CONDITION...
  local what=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $what"
    echo "  output: $out"
    echo "  calls: $calls"
  fi
}
has() { grep -qF -- "$1" <<<"$2"; }
count() { grep -c -- "$1" <<<"$2"; }

# A mirror that finishes its sync between two tries: the second update
# succeeds and the install uses every suite.
run transient 1 ok
check "a passing second update ends the retries" test "$(count ' update' "$calls")" -eq 2
check "nothing is pinned after a whole update" bash -c '! grep -q PreferencesParts <<<"$0"' "$calls"
check "the install succeeds" test "$rc" -eq 0

# A mirror still mid-sync: the update is tried three times, then the install
# goes on with the suites whose lists arrived whole.
run stuck 99 pinned
check "the update is tried three times" test "$(count ' update' "$calls")" -eq 3
check "the install pins the broken suite away and succeeds" test "$rc" -eq 0
check "it says which suite it left out" has "Installing without bookworm-security" "$out"

# Even so the install fails: two plain lines say what failed and what to do,
# apt's own error stays in the log.
run unresolvable 99 never
last_two=$(tail -n 2 <<<"$out")
check "a failed install fails set-up" test "$rc" -ne 0
check "it names the packages that failed" has "could not install cmake ninja-build" "$last_two"
check "it names wine32:i386" has "wine32:i386" "$last_two"
check "it names what apt could not resolve" has "apt could not resolve: libcurl4:i386 libxml2:i386" "$last_two"
check "it says what to do" has "wait a few minutes, then run tools/setup.sh again" "$last_two"
check "apt's own error is not printed" bash -c '! grep -q "^E: " <<<"$0"' "$out"
log=$(grep -oE '[^ ]*norvane-setup[^ ]*\.log' <<<"$last_two")
check "apt's messages are kept in the log it names" grep -q "held broken packages" "$log"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
