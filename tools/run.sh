#!/usr/bin/env bash
# The main job: sets up a fresh Debian machine, builds Norvane, installs it
# with its installer into a fresh 64-bit Wine prefix (as most people's
# Windows is: the one installer puts both guards in place) and then uses it
# as a person would, with real clicks and key presses only (PanelDriver.exe sends them
# through the window system): on the control panel it ticks the four kinds
# of cleaning, white-lists example.org, saves the list and switches the guard
# on from the tray menu; then it browses through a 32-bit and a 64-bit
# stand-in browser window, each on the registered guard of its own bitness,
# and opens Statistics. A picture of the panel is saved
# after each step. The pages it browses are served on this machine
# (tools/sites) and fetched through Wine's own HTTP stack.
set -euo pipefail
cd "$(dirname "$0")/.."
# The sites' names resolve to loopback addresses in a mount namespace of the
# run's own, which sees a hosts file of the run's making where the machine's
# is; the machine's own file is never touched. Without one, addresses serve.
if [ -z "${NORVANE_RUN_NAMESPACE:-}" ] && unshare -m true 2>/dev/null; then
  exec env NORVANE_RUN_NAMESPACE=1 unshare -m bash "$0" "$@"
fi
tools/setup.sh >&2

# A 64-bit prefix either way; where the kernel runs no 32-bit code, the
# 64-bit build stands in for the product, with its one guard.
preset=mingw arch=win64
if ! tools/runs-32bit.sh; then
  echo "(This kernel runs no 32-bit code: using the 64-bit build under wine64, with one browser window.)"
  preset=mingw64
fi
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" >/dev/null
bin=$PWD/build/$preset/bin

prefix=$PWD/build/$preset/demo-prefix
tools/wine-env.sh down "$prefix" "$arch" >/dev/null 2>&1 || true
rm -rf "$prefix" "$prefix.state"
sites=$PWD/build/$preset/run-sites
names=(www.example.com ads.example-cdn.net www.example.org shop.example.net)
addresses=(127.0.0.2 127.0.0.3 127.0.0.4 127.0.0.5)
by_name=false
if [ -n "${NORVANE_RUN_NAMESPACE:-}" ]; then
  mkdir -p "$sites"
  { cat /etc/hosts; for i in "${!names[@]}"; do echo "${addresses[$i]} ${names[$i]}"; done; } >"$sites.hosts"
  mount --bind "$sites.hosts" /etc/hosts && by_name=true
fi
tools/sites/sites.sh up "$sites" --port 80
tools/wine-env.sh up "$prefix" "$arch"
trap 'tools/wine-env.sh down "$prefix" "$arch"; tools/sites/sites.sh down "$sites"' EXIT
# The address of site number i (0 to 3) with a path: by its name where names
# resolve, with the port where port 80 was taken.
site() {
  local address=${addresses[$1]} host port
  port=$(awk -v a="$address" '$1 == a { print $2 }' "$sites/ports")
  host=$address; $by_name && host=${names[$1]}
  [ "$port" = 80 ] || host=$host:$port
  echo "http://$host$2"
}
kept=example.org; $by_name || kept=${addresses[2]}
export WINEPREFIX=$prefix WINEARCH=$arch
wine() { tools/wine-run.sh "$@"; }

echo "== Installing Norvane (NorvaneSetup.exe /S) into a fresh Wine prefix"
wine "$bin/NorvaneSetup.exe" /S
folder=$(wine reg query 'HKLM\Software\Norvane' /v AppPath /reg:32 | tr -d '\r' | sed -n 's/.*REG_SZ *//p')
echo "   installed in: $folder"

shots=$PWD/build/$preset/session
rm -rf "$shots"; mkdir -p "$shots"
winshots=$(wine winepath.exe -w "$shots" | tr -d '\r')
drive() { wine "$bin/PanelDriver.exe" "$@"; }

echo "== Starting the control panel (the first start shows its window)"
wine "$folder\\Norvane.exe" &
drive wait shot "$winshots\\1-options.bmp"

echo "== Options: ticking Remove History Entries, Cookies, Temporary Internet Files, Last Type Url(s)"
drive check 2 check 3 check 4 check 5 shot "$winshots\\2-options-ticked.bmp"

echo "== White List: typing $kept into the Url box, Add, Save List"
drive tab WhiteList text type "$kept" button Add button "Save List" shot "$winshots\\3-white-list-saved.bmp"

echo "== Done hides the panel to the tray; its tray menu's Enable Norvane switches the guard on"
drive button Done wait-hidden tray-menu keys DOWN keys RETURN
echo "   guard switched on: BHOEnabled = $(wine reg query 'HKLM\Software\Norvane' /v BHOEnabled /reg:32 | tr -d '\r' | sed -n 's/.*REG_DWORD *//p')"

echo "== Browsing (GuardHost.exe is the browser window here: it fires each page's"
echo "   events in the browser's order and, between them, fetches the page through"
echo "   Wine's own HTTP stack (which caches it and keeps the cookies its response"
echo "   sets) and adds its typed address before NavigateComplete2; its image and"
echo "   script (fetched too), its script's cookie, its DOM storage, userData and"
echo "   plug-in shared object and its History item after it, then its frame the"
echo "   same way; it also answers Wine's own question before a History item is deleted)"
if [ "$preset" = mingw ]; then
  echo "-- A 32-bit browser window (Internet Explorer's 32-bit tabs load the 32-bit guard):"
  wine "$bin/GuardHost.exe" --leave-traces \
    "$(site 0 /index.html)" --frame "$(site 1 /banner.html)" \
    "$(site 2 /news/today.html)"
  echo "-- A 64-bit browser window (64-bit tabs load the 64-bit guard; both count in one store):"
  wine "$PWD/build/$preset/x64/bin/GuardHost.exe" --leave-traces \
    "$(site 3 '/cart?item=7')" \
    "$(site 0 /contact.html)"
else
  wine "$bin/GuardHost.exe" --leave-traces \
    "$(site 0 /index.html)" --frame "$(site 1 /banner.html)" \
    "$(site 2 /news/today.html)" \
    "$(site 3 '/cart?item=7')" \
    "$(site 0 /contact.html)"
fi

echo "== Back from the tray (a double click on its icon): Statistics"
drive tray-open wait tab Statistics shot "$winshots\\4-statistics.bmp"
drive tab Help shot "$winshots\\5-help.bmp"
python3 tools/bmp-to-png.py "$shots"/*.bmp
rm -f "$shots"/*.bmp
echo
echo "The panel after each step:"
for picture in "$shots"/*.png; do echo "   $picture"; done
