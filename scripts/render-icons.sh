#!/usr/bin/env bash
# Renders the application icon from the emblem into the PNG sizes and the Windows .ico.
# The results are committed, so a build needs neither tool; run this again after
# changing emblem.svg. Needs rsvg-convert (librsvg2-bin) and ImageMagick (imagemagick).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
emblem="$root/src/gui/resources/pictures/emblem.svg"
out="$root/src/gui/resources/icons"
sizes=(16 32 48 128 256)

for tool in rsvg-convert convert-im6.q16; do
    command -v "$tool" >/dev/null || { echo "render-icons: $tool is missing" >&2; exit 1; }
done

mkdir -p "$out"
pngs=()
for n in "${sizes[@]}"; do
    rsvg-convert --width "$n" --height "$n" --keep-aspect-ratio --format png \
        --output "$out/kavrin-$n.png" "$emblem"
    pngs+=("$out/kavrin-$n.png")
done
# -strip keeps the files byte-stable between runs (no time stamps in them).
for png in "${pngs[@]}"; do
    convert-im6.q16 "$png" -strip "PNG32:$png"
done
# One .ico holding every size, 32-bit with alpha; Windows takes the 256 one as PNG.
convert-im6.q16 "${pngs[@]}" -strip "$out/kavrin.ico"
echo "render-icons: wrote ${#sizes[@]} PNG files and kavrin.ico to $out"
