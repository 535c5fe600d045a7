#!/usr/bin/env bash
# The main job: sets up a fresh Debian machine, builds Norvane, installs it
# with its installer into a fresh Wine prefix, switches the guard and all four
# kinds of cleaning on, white-lists one site, and replays a short browsing
# session through a stand-in browser window on the registered guard.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh >&2

preset=mingw arch=win32
if ! tools/runs-32bit.sh; then
  echo "(This kernel runs no 32-bit code: using the 64-bit build under wine64.)"
  preset=mingw64 arch=win64
fi
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" >/dev/null
bin=$PWD/build/$preset/bin

prefix=$PWD/build/$preset/demo-prefix
tools/wine-env.sh down "$prefix" "$arch" >/dev/null 2>&1 || true
rm -rf "$prefix" "$prefix.state"
tools/wine-env.sh up "$prefix" "$arch"
trap 'tools/wine-env.sh down "$prefix" "$arch"' EXIT
export WINEPREFIX=$prefix WINEARCH=$arch
wine() { tools/wine-run.sh "$@"; }

echo "== Installing Norvane (NorvaneSetup.exe /S) into a fresh Wine prefix"
wine "$bin/NorvaneSetup.exe" /S
folder=$(wine reg query 'HKLM\Software\Norvane' /v AppPath | tr -d '\r' | sed -n 's/.*REG_SZ *//p')
echo "   installed in: $folder"

echo "== Switching the guard and the four kinds of cleaning on; white-listing example.org"
for value in BHOEnabled RemoveCookies RemoveCache RemoveLastTyped RemoveHistory; do
  wine reg add 'HKLM\Software\Norvane' /v "$value" /t REG_DWORD /d 1 /f >/dev/null
done
printf 'example.org\r\n' > "$(wine winepath.exe -u "$folder\\WhiteList.txt" | tr -d '\r')"

echo "== Browsing (GuardHost.exe is the browser window here: before each page it"
echo "   leaves the traces a browser would leave for it, then fires the navigation;"
echo "   it also answers Wine's own question before a History item is deleted)"
wine "$bin/GuardHost.exe" --leave-traces \
  http://www.example.com/index.html \
  http://www.example.org/news/today.html \
  https://shop.example.net/cart?item=7 \
  http://www.example.com/contact.html
