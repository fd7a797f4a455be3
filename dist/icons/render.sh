#!/usr/bin/env bash
# Renders the committed bitmaps from the SVG icon. Run it after editing the SVG and commit the
# results; the build only copies them. Needs rsvg-convert (librsvg2-bin) and ImageMagick.
set -euo pipefail
cd "$(dirname "$0")"
svg=org.verantis.VerantisTerminal.svg
work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT

rsvg-convert -w 256 -h 256 "$svg" -o org.verantis.VerantisTerminal.png

# The Windows icon carries the sizes Explorer and the task bar ask for; 256 is stored as PNG.
sizes=(16 24 32 48 64 256)
frames=()
for size in "${sizes[@]}"; do
    rsvg-convert -w "$size" -h "$size" "$svg" -o "$work/$size.png"
    frames+=("$work/$size.png")
done
convert "${frames[@]}" ../windows/VerantisTerminal.ico
