#!/usr/bin/env bash
# Renders the four pages (as their mark-up stands, and as the panel fills
# them) with our page engine under Wine and Xvfb and with a real browser
# engine (Debian's Chromium, headless), and writes each pair side by side,
# ours on the left, as build/compare/<page>-<plain|filled>.png.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh >&2
if ! command -v chromium >/dev/null; then
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get install -y -qq --no-install-recommends chromium >/dev/null
fi
cmake --preset mingw >/dev/null
cmake --build --preset mingw >/dev/null

out=$PWD/build/compare
rm -rf "$out"; mkdir -p "$out/ours" "$out/chromium"
prefix=$PWD/build/mingw/compare-prefix
tools/wine-env.sh up "$prefix" win32 >/dev/null
trap 'tools/wine-env.sh down "$prefix" win32 >/dev/null' EXIT
export WINEPREFIX=$prefix WINEARCH=win32
tools/wine-run.sh build/mingw/bin/PageShots.exe "$(tools/wine-run.sh winepath.exe -w "$out/ours" | tr -d '\r')"
size=$(tr -d '\r\n' < "$out/ours/size.txt")

for page in options whitelist statistics help; do
  upper=$(ls panel/res | grep -i "^$page.html$")
  cp "panel/res/$upper" "$out/chromium/$page-plain.html"
  cp "$out/ours/$page-filled.html" "$out/chromium/$page-filled.html"
  for kind in plain filled; do
    chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --force-device-scale-factor=1 \
      --window-size="$size" --screenshot="$out/chromium/$page-$kind.png" \
      "file://$out/chromium/$page-$kind.html" >/dev/null 2>&1
    python3 tools/side-by-side.py "$out/ours/$page-$kind.bmp" "$out/chromium/$page-$kind.png" \
      "$out/$page-$kind.png" ${size/,/ }
    echo "$out/$page-$kind.png   (left: our engine under Wine; right: Chromium)"
  done
done
