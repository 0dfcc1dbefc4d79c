#!/bin/sh
# Runs the tray test program under an X server and icewm of its own, in a Wine prefix of
# its own that draws on that server, and clicks the icon when the program asks for it.
# Exit 77 (skipped) when something it needs is not installed.
set -u
wine_run=$1
program=$2
for tool in Xvfb icewm xdotool xwininfo wine; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "skipped: $tool is not installed" >&2
        exit 77
    fi
done

work=$(mktemp -d)
xvfb=
icewm=
cleanup() {
    [ -n "$icewm" ] && kill "$icewm" 2>/dev/null
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

# A display nobody else uses: the server picks its own number and says which.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
exec 3>&-
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
if [ ! -s "$work/display" ]; then
    echo "skipped: Xvfb did not start" >&2
    exit 77
fi
DISPLAY=:$(head -n1 "$work/display")
export DISPLAY
HOME=$work/home icewm >/dev/null 2>&1 &
icewm=$!

export ZLV_WINE_GRAPHICS=x11
export ZLV_TRAY_MARKER="$work/click-me"
"$wine_run" "$program" &
test_pid=$!

# The icon is a window that icewm's tray has embedded; click its middle once it is there.
clicked=0
while kill -0 "$test_pid" 2>/dev/null; do
    if [ "$clicked" = 0 ] && [ -e "$ZLV_TRAY_MARKER" ]; then
        at=$(xwininfo -root -tree 2>/dev/null | grep -A2 '"YXTrayEmbedder"' | grep -v YXTray |
             grep -o '[0-9]*x[0-9]*+-*[0-9]*+-*[0-9]* *+-*[0-9]*+-*[0-9]*$' | head -n1)
        if [ -n "$at" ]; then
            size=${at%%+*}
            absolute=$(echo "$at" | awk '{print $2}')
            x=$(echo "$absolute" | cut -d+ -f2)
            y=$(echo "$absolute" | cut -d+ -f3)
            xdotool mousemove $((x + ${size%x*} / 2)) $((y + ${size#*x} / 2)) click 1
            clicked=1
        fi
    fi
    sleep 0.2
done
wait "$test_pid"
