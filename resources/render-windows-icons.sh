#!/usr/bin/env bash
# Builds the Windows icon files (resources/windows/*.ico) from the drawings in icons/: the
# product icon and one icon per toolbar button, each with the sizes a screen from 96 to
# 192 dots per inch asks for. Usage: render-windows-icons.sh <Linux build dir>
# Needs the Qt renderer of render-icons.sh and ImageMagick's convert.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:?build directory}
cmake --build "$build" --target zlv_render_icons
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
render() { # svg png size
  QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work" "$build/resources/zlv_render_icons" "$@" \
    2>/dev/null
}
for name in zelvory manage detail options homepage exit; do
  pngs=()
  for size in 16 20 24 32 40 48 64; do
    # The product icon's small sizes were drawn by hand; the drawing serves the rest.
    if [ -f "$here/icons/$name-$size.png" ]; then
      cp "$here/icons/$name-$size.png" "$work/$name-$size.png"
    else
      render "$here/icons/$name.svg" "$work/$name-$size.png" "$size"
    fi
    pngs+=("$work/$name-$size.png")
  done
  convert "${pngs[@]}" "$here/windows/$name.ico"
done
