#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks to build Norvane and run its tests
# under Wine. Does nothing when everything is already there.
#
# A package mirror caught mid-update serves, for a while, an index whose size
# does not match its Release file ("Mirror sync in progress?"). The update is
# tried again; if a suite's index still fails, the install goes on without
# that suite: its other architectures' lists are newer than the ones that
# failed, and the i386 libraries wine32 needs must match the amd64 ones
# exactly. When the install still fails, two plain lines say what failed and
# what to do; apt's own output is kept in a log.
set -euo pipefail

# wine64 and the x86_64 compiler serve kernels that cannot run 32-bit code;
# libwine-dev brings the system IDL files that widl imports; DejaVu Sans is
# the page engine's stand-in for Verdana, whatever other fonts are installed;
# wixl builds the Windows Installer packages, msitools reads their tables;
# the guard's table of public suffixes is compiled from publicsuffix's list.
packages=(cmake ninja-build googletest file g++-mingw-w64-i686 g++-mingw-w64-x86-64
          mingw-w64-tools libwine-dev wine wine32:i386 wine64 xvfb xauth nsis wixl msitools fonts-dejavu-core
          publicsuffix python3)
tries=${NORVANE_SETUP_TRIES:-3}
retry_delay=${NORVANE_SETUP_RETRY_DELAY:-10}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
echo "Installing: ${missing[*]}"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
log=$(mktemp "${TMPDIR:-/tmp}/norvane-setup.XXXXXX.log")

# The suites ("bookworm-security") whose index could not be fetched, one a
# line, from apt-get update's messages.
failed_suites() {
  grep -E '^(E|W|Err): .*Failed to fetch|^Err:' "$1" | grep -oE '/dists/[^/ ]+' | sed 's|/dists/||' | sort -u || true
}

broken=""
for try in $(seq "$tries"); do
  status=0
  $SUDO apt-get update -qq >"$work/update" 2>&1 || status=$?
  cat "$work/update" >>"$log"
  broken=$(failed_suites "$work/update")
  [ "$status" -eq 0 ] && [ -z "$broken" ] && break
  if [ "$try" -lt "$tries" ]; then
    echo "Package lists incomplete${broken:+ (${broken//$'\n'/, })}; trying again in ${retry_delay} s."
    sleep "$retry_delay"
  fi
done

install_options=()
if [ -n "$broken" ]; then
  # The suites whose lists did arrive whole, and only those: every version of
  # a broken suite is pinned below any that can be installed, for this
  # install alone (the machine's own preferences are kept beside the pin).
  prefs="$work/preferences.d"
  mkdir -p "$prefs"
  cp -r /etc/apt/preferences.d/. "$prefs/" 2>/dev/null || true
  while read -r suite; do
    printf 'Package: *\nPin: release n=%s\nPin-Priority: -1\n\nPackage: *\nPin: release a=%s\nPin-Priority: -1\n\n' \
      "$suite" "$suite" >>"$prefs/zz-norvane-setup.pref"
  done <<<"$broken"
  install_options=(-o "Dir::Etc::PreferencesParts=$prefs")
  echo "Installing without ${broken//$'\n'/, }, whose package lists could not be read whole."
fi

if DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends \
     "${install_options[@]}" "${missing[@]}" >"$work/install" 2>&1; then
  cat "$work/install" >>"$log"
  rm -f "$log"
  exit 0
fi
cat "$work/install" >>"$log"

# The packages apt names as the trouble: unmet dependencies, unknown names.
trouble=$( { grep -oE '^ [^ ]+ : ' "$work/install" | sed 's/^ //; s/ : $//'
             grep -oE "Unable to locate package [^ ]+|Package '[^']+' has no installation candidate" "$work/install" |
               sed -E "s/Unable to locate package //; s/Package '([^']+)'.*/\1/"; } | sort -u | head -8 | paste -sd ' ' ||
           true)
echo "Set-up failed: could not install ${missing[*]}${trouble:+ (apt could not resolve: $trouble)}; apt's messages are in $log."
if [ -n "$broken" ]; then
  echo "The package mirror was being updated (${broken//$'\n'/, } incomplete): wait a few minutes, then run tools/setup.sh again."
else
  echo "Check the network and the package sources in /etc/apt, then run tools/setup.sh again."
fi
exit 1
