#!/usr/bin/env bash
# Renders the main window and the transfer window offscreen into PNG files, for the
# README's screenshots and for looking at the high-DPI scaling.
#   scripts/render-windows.sh                 -> docs/screenshots/*.png at 100 %
#   scripts/render-windows.sh --scales DIR    -> DIR/*@<scale>x.png at 125, 150 and 200 %
# The windows are grabbed by TestLooks, which writes them when KAVRIN_SCREENSHOT_DIR is set.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KAVRIN_BUILD_DIR:-$root/build/screens}"
out="$root/docs/screenshots"
scales=(1)
if [ "${1:-}" = "--scales" ]; then
    out="${2:?render-windows: --scales needs an output folder}"
    scales=(1.25 1.5 2)
fi

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build" -j2 --target TestLooks >/dev/null
mkdir -p "$out"
out="$(cd "$out" && pwd)"

for scale in "${scales[@]}"; do
    # A fresh working folder each time: the main window creates its client book there.
    work="$(mktemp -d)"
    (cd "$work" && QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR="$scale" KAVRIN_SCREENSHOT_DIR="$out" \
        "$build/tests/TestLooks/TestLooks" windows)
    rm -rf "$work"
done
echo "render-windows: screenshots in $out"
