#!/usr/bin/env bash
# Takes the README's screenshots from the real programs, under an Xvfb of their own with the
# icewm window manager:
#  - the Linux program in a throw-away home, recording real file operations, each window at
#    screen scale 1 and 2 (docs/*.png);
#  - the Windows program, built here with mingw-w64, under Wine's X11 driver in a Wine prefix
#    of its own over a few days of journal written here, each window at 96 and 192 dots per
#    inch (docs/windows/*.png).
# Needs xvfb, icewm, xdotool, x11-utils and imagemagick, and wine with the cross compiler for
# the Windows pictures (scripts/setup installs them all).
#   docs/screenshots.sh [build-dir [windows-build-dir]]
#   ZLV_SHOTS=linux or ZLV_SHOTS=windows takes only that program's pictures.
set -Eeuo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
shots=${ZLV_SHOTS:-all}
work=$(mktemp -d -t zelvory-docs.XXXXXX)
wine_work=
pids=()
cleanup() {
  if [ -n "$wine_work" ]; then
    for prefix in "$wine_work"/*/prefix; do
      if [ -d "$prefix" ]; then WINEPREFIX=$prefix wineserver -k 2>/dev/null || true; fi
    done
    rm -rf "$wine_work"
  fi
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'echo "screenshots: line $LINENO failed" >&2' ERR

# An X server of the given size with icewm on it, on a display nobody else uses: the server
# picks its own number and says which.
start_display() {
  rm -f "$work/display"
  exec 3>"$work/display"
  Xvfb -displayfd 3 -screen 0 "$1x24" -nolisten tcp >/dev/null 2>&1 &
  pids+=($!)
  exec 3>&-
  for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
  done
  DISPLAY=:$(head -n1 "$work/display")
  export DISPLAY
  HOME=$work icewm >/dev/null 2>&1 &
  pids+=($!)
  sleep 1
}

# Window by title (given half a minute to appear), and a picture of it with its frame.
window() { timeout 30 xdotool search --sync --onlyvisible --limit 1 --name "^$1\$"; }
shoot() {
  local w
  sleep 1
  w=$(window "$1") || { echo "screenshots: no window \"$1\" for $2" >&2 && return 1; }
  import -frame -window "$w" "$here/$2"
}
# Keys to a window, which is brought to the front first.
keys() { xdotool windowactivate --sync "$1" && sleep 0.3 && xdotool key "${@:2}"; }

linux_shots() {
  local app scale home pid main suffix
  app=$(cd "${1:-$here/../build}" && pwd)/src/app/zelvory
  for scale in 1 2; do
    home=$work/ada$scale
    mkdir -p "$home/Documents"
    HOME=$home XDG_DATA_HOME=$home/.local/share QT_SCALE_FACTOR=$scale "$app" &
    pid=$!
    main=$(window Zelvory)
    sleep 1
    # A morning's work, as the journal records it: each step given more than the settle
    # time, or the journal would rightly show only their net effect.
    (cd "$home/Documents" &&
      echo draft > report.txt && sleep 1.5 && mkdir Invoices && sleep 1.5 &&
      mv report.txt "Quarterly report.txt" && sleep 1.5 && echo x > notes.md && sleep 1.5 &&
      mv notes.md Invoices/ && sleep 1.5 && rm "Quarterly report.txt" && sleep 1.5 &&
      mkdir -p Photos/2026 && sleep 2.5)
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
}

# One line of the journal, as the Windows program writes it: in the day file of its date,
# tab-separated, ended by CR LF.
#   journal_line "YYYY-MM-DD HH:MM:SS" object action path original-name [new-name]
journal_line() {
  local day=${1%% *}
  local folder=$data/logs/${day:0:4}${day:5:2}
  mkdir -p "$folder"
  printf '%s\t%s\t%s\t%s\t%s\t%s\r\n' "$1" "$2" "$3" "$4" "$5" "${6:-}" >>"$folder/${day:8:2}.log"
}
# Records of a past day at its times, and of today so many minutes ago.
on_day() { journal_line "$(date -d "-$1 days" +%F) $2" "${@:3}"; }
minutes_ago() { journal_line "$(date -d "-$1 minutes" '+%F %T')" "${@:2}"; }

# Four days of a user's work on her files and drives, the last of them today. (Windows
# paths end in a backslash, which single quotes keep as it is.)
# shellcheck disable=SC1003
write_journal() {
  local docs='C:\Users\ada\Documents\' desk='C:\Users\ada\Desktop\'
  local pics='C:\Users\ada\Pictures\' down='C:\Users\ada\Downloads\'
  on_day 3 "09:02:41" File Created "$down" "timetable-winter.pdf"
  on_day 3 "09:05:13" Folder Created "$docs" "Invoices"
  on_day 3 "11:48:30" File Renamed "$docs" "Scan0042.pdf" "Invoice 2026-117.pdf"
  on_day 3 "16:20:07" File Deleted "$desk" "Shortcut to notes.lnk"
  on_day 2 "08:57:19" "Storage Media" Inserted 'E:\' "USB Drive (E:)"
  on_day 2 "08:58:02" Folder Created 'E:\' "Holiday 2026"
  on_day 2 "09:03:55" "Storage Media" Removed 'E:\' "USB Drive (E:)"
  on_day 2 "14:31:12" File Created "$pics" "IMG_2041.jpg"
  on_day 2 "14:31:12" File Created "$pics" "IMG_2042.jpg"
  on_day 1 "10:14:08" "Driver" Added 'F:\' "Backup (F:)"
  on_day 1 "10:40:51" Folder Renamed "$docs" "New folder" "Tax 2026"
  on_day 1 "17:22:36" "Driver" Removed 'F:\' "Backup (F:)"
  minutes_ago 52 File Created "$docs" "New Text Document.txt"
  minutes_ago 51 File Renamed "$docs" "New Text Document.txt" "Quarterly report.txt"
  minutes_ago 47 Folder Created "$pics" "2026"
  minutes_ago 44 File Created "$down" "statement-2026-11.pdf"
  minutes_ago 38 File Deleted "$desk" "old notes.txt"
  minutes_ago 31 "Storage Media" Inserted 'E:\' "USB Drive (E:)"
  minutes_ago 30 File Created 'E:\' "Quarterly report.txt"
  minutes_ago 29 "Storage Media" Removed 'E:\' "USB Drive (E:)"
  minutes_ago 12 Folder Created "$docs" "Invoices 2027"
  minutes_ago 3 File Renamed "$docs" "Quarterly report.txt" "Quarterly report (final).txt"
}

# Focus by a click on the window's title bar, as Wine's windows do not take it from
# _NET_ACTIVE_WINDOW requests under icewm; clicked again until the focus is there, since a
# window not yet ready refuses it and the window manager then keeps it itself.
focus() {
  # shellcheck disable=SC2034 # all that xdotool's geometry sets
  local X Y WIDTH HEIGHT SCREEN WINDOW
  eval "$(xdotool getwindowgeometry --shell "$1")"
  for _ in $(seq 10); do
    xdotool mousemove $((X + WIDTH / 2)) $((Y - 8)) click 1 mousemove 0 0
    sleep 0.5
    [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ] && return 0
  done
  echo "screenshots: window $1 takes no focus" >&2
  return 1
}
# Keys to the window in front, one at a time, as a user types them.
type_keys() {
  for k in "$@"; do
    xdotool key "$k"
    sleep 0.4
  done
}
# A dialog opened by keys to the main window ($main), tried again should a key go astray
# (Wine lets the focus go whenever a dialog closes).
open_dialog() {
  for _ in 1 2 3; do
    focus "$main"
    type_keys "${@:2}"
    if timeout 5 xdotool search --sync --onlyvisible --limit 1 --name "^$1\$" >/dev/null; then
      return 0
    fi
    type_keys Escape Escape
  done
  echo "screenshots: \"$1\" did not open" >&2
  return 1
}
close_dialog() {
  local w
  for _ in 1 2 3; do
    w=$(xdotool search --onlyvisible --limit 1 --name "^$1\$") || return 0
    focus "$w"
    type_keys Escape
    sleep 0.5
  done
  xdotool search --onlyvisible --limit 1 --name "^$1\$" >/dev/null || return 0
  echo "screenshots: \"$1\" did not close" >&2
  return 1
}
# A picture of part of the screen: x y width height.
shoot_area() {
  sleep 1
  import -window root -crop "$3x$4+$1+$2" +repage "$here/$5"
}

# The pointer on the program's icon in icewm's tray (its X, Y and size; the screen's width
# and height) until the icon's tooltip shows above it, on the bare desktop.
tray_tooltip() {
  local at above
  read -r width height < <(xdotool getdisplaygeometry)
  for _ in $(seq 10); do
    sleep 1
    at=$(xwininfo -root -tree | grep -A2 '"YXTrayEmbedder"' | grep 'explorer.exe' |
      grep -o '[0-9]*x[0-9]*+-*[0-9]*+-*[0-9]* *+-*[0-9]*+-*[0-9]*$' | head -n1) || continue
    size=${at%%+*}
    X=$(echo "$at" | awk '{print $2}' | cut -d+ -f2)
    Y=$(echo "$at" | awk '{print $2}' | cut -d+ -f3)
    xdotool mousemove 0 0 sleep 0.3 mousemove $((X + ${size%x*} / 2)) $((Y + ${size#*x} / 2)) \
      sleep 0.2 mousemove $((X + ${size%x*} / 2 + 1)) $((Y + ${size#*x} / 2)) sleep 1.5
    above=$(import -window root -format '%[max]' -crop \
      "$((200 * dpi / 96))x$((30 * dpi / 96))+$((X - 140 * dpi / 96))+$((Y - 32 * dpi / 96))" info:)
    [ "$above" != 0 ] && return 0
  done
  echo "screenshots: no tooltip over the tray icon" >&2
  return 1
}

# A Windows program run in the prefix of this density ($prefix, $dpi).
wine_run() {
  HOME=$wine_work/$dpi/home USER=ada ZLV_WINEPREFIX=$prefix ZLV_WINE_GRAPHICS=x11 \
    ZLV_WINE_DPI=$dpi "$root/cmake/wine-run.sh" "$@"
}

windows_shots() {
  local wbuild exe dpi prefix data main suffix at size left right top bottom width height
  # shellcheck disable=SC2034 # all that xdotool's geometry sets
  local X Y WIDTH HEIGHT SCREEN WINDOW
  mkdir -p "$1"
  wbuild=$(cd "$1" && pwd)
  # Built each time, so that the pictures show the program of this tree.
  if [ ! -f "$wbuild/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$wbuild" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
  fi
  cmake --build "$wbuild" --target zelvory
  exe=$wbuild/src/app/windows/zelvory.exe
  mkdir -p "$here/windows"
  wine_work=$(mktemp -d)
  for dpi in 96 192; do
    # A prefix of each density (Wine reads it once, when the prefix is made), drawing on
    # this display, for a user named ada whose home is in the temporary folder too.
    prefix=$wine_work/$dpi/prefix
    mkdir -p "$wine_work/$dpi/home"
    wine_run wineboot >/dev/null 2>&1
    data=$prefix/drive_c/users/ada/AppData/Roaming/QBS/ZLV
    write_journal
    wine_run "$exe" >/dev/null 2>&1 &
    main=$(window Zelvory)
    sleep 2
    suffix=$([ "$dpi" = 96 ] && echo "" || echo "@2x")

    # Wider than it starts, so that the New Name column is on screen too.
    eval "$(xdotool getwindowgeometry --shell "$main")"
    xdotool windowsize "$main" $((WIDTH * 13 / 10)) "$HEIGHT"
    focus "$main"
    shoot Zelvory "windows/main-window$suffix.png"
    # History from four days ago to yesterday: the From picker's day, three days back.
    type_keys ctrl+h Right Right Right Down Down Down
    shoot Zelvory "windows/history$suffix.png"
    # Detail View on the top row, today's last rename.
    type_keys ctrl+t
    open_dialog "Detail View" ctrl+d && shoot "Detail View" "windows/detail-view$suffix.png"
    close_dialog "Detail View"
    open_dialog Options alt+t o && shoot Options "windows/options$suffix.png"
    close_dialog Options
    open_dialog "About Zelvory" alt+h a && shoot "About Zelvory" "windows/about$suffix.png"
    close_dialog "About Zelvory"
    # The Logs menu at the mouse, over the list's second row, in a picture of the window
    # with its frame (left, right, top, bottom) and the menu.
    eval "$(xdotool getwindowgeometry --shell "$main")"
    xdotool mousemove $((X + WIDTH / 3)) $((Y + HEIGHT / 3)) click 3
    read -r left right top bottom < <(xprop -id "$main" _NET_FRAME_EXTENTS | tr -dc '0-9 \n')
    shoot_area $((X - left)) $((Y - top)) $((WIDTH + left + right)) \
      $((HEIGHT + top + bottom)) "windows/context-menu$suffix.png"
    type_keys Escape

    # Minimised, the window goes into the notification area; the icon's tooltip on hover.
    xdotool windowminimize "$main"
    sleep 2
    tray_tooltip && shoot_area $((X - 140 * dpi / 96)) $((Y - 40 * dpi / 96)) \
      $((width - X + 140 * dpi / 96)) $((height - Y + 40 * dpi / 96)) \
      "windows/notification-area$suffix.png"
    xdotool mousemove 0 0
    WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
    WINEPREFIX=$prefix wineserver -w 2>/dev/null || true
  done
}

if [ "$shots" != windows ]; then
  start_display 1600x1000
  linux_shots "${1:-}"
fi
if [ "$shots" != linux ]; then
  # Room for the window at 192 dots per inch widened to show every column.
  start_display 2200x1300
  windows_shots "${2:-$root/build-windows}"
fi
