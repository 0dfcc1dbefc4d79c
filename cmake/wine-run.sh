#!/bin/sh
# Runs one Windows program under Wine in a throw-away Wine prefix, so that a test run writes
# nothing outside its temporary folder and never sees a user's own prefix.
#
# Creating a prefix takes about ten seconds, so every test of one ctest invocation shares
# one: it is keyed by ctest's process id. Run by hand, the program gets a prefix of its own.
# Either way a detached watcher removes the prefix once its key process has ended.
#
# Set ZLV_WINEPREFIX to use (and keep) a prefix of your own instead. A new prefix draws
# nowhere (Wine's null display driver) unless ZLV_WINE_GRAPHICS names another driver
# (x11: on $DISPLAY), and at 96 dots per inch unless ZLV_WINE_DPI says otherwise.
set -eu

if [ $# -eq 0 ]; then
    echo "usage: $0 program.exe [arguments...]" >&2
    exit 2
fi

export WINEDEBUG=-all
# No Mono or Gecko installer prompts, no menu entries in the user's desktop.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset WINEARCH

# Makes a new prefix in $WINEPREFIX that draws on ZLV_WINE_GRAPHICS's driver (null: none).
init_prefix() {
    wine wineboot --init >/dev/null 2>&1 || true
    # No display is needed: the null graphics driver still gives real (invisible) windows,
    # which the capture window and the shell's notifications depend on.
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d "${ZLV_WINE_GRAPHICS:-null}" /f \
        >/dev/null 2>&1
    if [ -n "${ZLV_WINE_DPI:-}" ]; then
        wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$ZLV_WINE_DPI" /f \
            >/dev/null 2>&1
    fi
    # The desktop process chose its driver before the setting existed; start afresh.
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
}

if [ -n "${ZLV_WINEPREFIX:-}" ]; then
    export WINEPREFIX="$ZLV_WINEPREFIX"
    if [ ! -e "$WINEPREFIX/system.reg" ]; then
        init_prefix
    fi
    exec wine "$@"
fi

if [ "$(cat /proc/$PPID/comm 2>/dev/null || true)" = ctest ]; then
    key=$PPID
else
    key=$$ # kept by exec below: the prefix lives exactly as long as the program
fi
# A prefix of another kind (display driver, density) is another prefix.
root="${TMPDIR:-/tmp}/zlv-wine-$(id -u)/$key${ZLV_WINE_GRAPHICS:+-$ZLV_WINE_GRAPHICS}"
root="$root${ZLV_WINE_DPI:+-dpi$ZLV_WINE_DPI}"
mkdir -p "$root"

export WINEPREFIX="$root/prefix"
# Wine links the prefix's user folders to the home folder's; give it one of its own.
export HOME="$root/home"
export XDG_CONFIG_HOME="$root/home/.config" XDG_DATA_HOME="$root/home/.local/share"
export XDG_CACHE_HOME="$root/home/.cache"
mkdir -p "$HOME"

# Parallel tests of one run wait here while the first of them creates the prefix.
exec 9>"$root/lock"
flock 9
if [ ! -e "$root/ready" ]; then
    setsid -f sh -c '
        while kill -0 "$1" 2>/dev/null; do sleep 1; done
        WINEPREFIX="$2/prefix" wineserver -k 2>/dev/null || true
        rm -rf "$2"
        rmdir "${2%/*}" 2>/dev/null || true' watcher "$key" "$root" </dev/null >/dev/null 2>&1
    init_prefix
    : >"$root/ready"
fi
flock -u 9
exec 9>&-

exec wine "$@"
