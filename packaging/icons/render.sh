#!/usr/bin/env bash
# Draws the PNG icons again from zelbrin-client.svg; run it after changing the SVG and commit
# what it writes. The build only installs the PNGs, so it needs no SVG renderer; this script
# needs rsvg-convert (librsvg2-bin, which scripts/install-deps.sh installs).
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert --width "$size" --height "$size" --output "${size}x${size}.png" zelbrin-client.svg
done
# The tray icon, built into the agent through resources/resources.qrc.
cp 64x64.png ../../resources/printer.png
