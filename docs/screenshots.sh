#!/usr/bin/env bash
# Takes the README's screenshots: the real program in a throw-away home, under Xvfb with
# the icewm window manager, recording real file operations; each window at screen scale
# 1 and 2.  Needs xvfb, icewm, xdotool and imagemagick (scripts/setup installs them).
#   docs/screenshots.sh [build-dir]
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
app=$(cd "${1:-$here/../build}" && pwd)/src/app/zelvory
work=/tmp/zelvory-docs && rm -rf "$work" && mkdir "$work"
display=:$((90 + RANDOM % 9))
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb "$display" -screen 0 1600x1000x24 -nolisten tcp &
pids+=($!)
export DISPLAY=$display
sleep 1
HOME=$work icewm >/dev/null 2>&1 &
pids+=($!)
sleep 1

# Window by title, and a picture of it with its frame.
window() { xdotool search --sync --onlyvisible --limit 1 --name "^$1\$"; }
shoot() { sleep 1 && import -frame -window "$(window "$1")" "$here/$2"; }
# Keys to a window, which is brought to the front first.
keys() { xdotool windowactivate --sync "$1" && sleep 0.3 && xdotool key "${@:2}"; }

for scale in 1 2; do
  home=$work/ada$scale
  mkdir -p "$home/Documents"
  HOME=$home XDG_DATA_HOME=$home/.local/share QT_SCALE_FACTOR=$scale "$app" &
  pid=$!
  main=$(window Zelvory)
  sleep 1
  # A morning's work, as the journal records it.
  (cd "$home/Documents" &&
    echo draft > report.txt && sleep 0.3 && mkdir Invoices && sleep 0.3 &&
    mv report.txt "Quarterly report.txt" && sleep 0.3 && echo x > notes.md && sleep 0.3 &&
    mv notes.md Invoices/ && sleep 0.3 && rm "Quarterly report.txt" && sleep 0.3 &&
    mkdir -p Photos/2026 && sleep 1)
  suffix=$([ "$scale" = 1 ] && echo "" || echo "@2x")
  xdotool windowactivate --sync "$main"
  shoot Zelvory "main-window$suffix.png"
  keys "$main" ctrl+d && shoot "Detail View" "detail-view$suffix.png"
  keys "$(window "Detail View")" Escape
  keys "$main" alt+t o && shoot Options "options$suffix.png"
  keys "$(window Options)" Escape
  keys "$main" alt+h a && shoot "About Zelvory" "about$suffix.png"
  keys "$(window "About Zelvory")" Escape
  kill "$pid"
  wait "$pid" 2>/dev/null || true
done
cp "$here/main-window.png" "$here/screenshot.png"
