#!/usr/bin/env bash
# Renders the application icon app/resources/folioport.svg into app/resources/png/folioport-N.png
# (16 to 512 pixels). Run it after changing the SVG and commit the PNGs with it.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-icons -G Ninja -DFOLIOPORT_BUILD_TESTS=OFF >/dev/null
cmake --build build-icons --target folioport_render_icons
mkdir -p app/resources/png
QT_QPA_PLATFORM=offscreen build-icons/app/folioport_render_icons app/resources/folioport.svg app/resources/png
ls app/resources/png
