#!/usr/bin/env bash
# Renders the product icon's PNG sizes from icons/zelvory.svg. Usage: render-icons.sh <build dir>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:?build directory}
cmake --build "$build" --target zlv_render_icons
for size in 16 32 48 128 256; do
  QT_QPA_PLATFORM=offscreen "$build/resources/zlv_render_icons" \
    "$here/icons/zelvory.svg" "$here/icons/zelvory-$size.png" "$size"
done
