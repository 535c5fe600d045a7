#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks to build Norvane and run its tests
# under Wine. Does nothing when everything is already there.
set -euo pipefail

# wine64 and the x86_64 compiler serve kernels that cannot run 32-bit code;
# libwine-dev brings the system IDL files that widl imports.
packages=(cmake ninja-build googletest file g++-mingw-w64-i686 g++-mingw-w64-x86-64
          mingw-w64-tools libwine-dev wine wine32:i386 wine64 xvfb xauth nsis)

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
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
