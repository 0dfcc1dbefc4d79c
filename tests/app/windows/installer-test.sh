#!/bin/sh
# The Windows installer, run silently into a Wine prefix of its own: the program lands in
# the user's folders without administrator rights, starts from there, has its Start-menu
# shortcut, its Apps & Features entry and (asked for) its Run value; uninstalling removes
# all of that and leaves the journal. 77 (skipped) without Wine.
set -eu

setup=$1
if ! command -v wine >/dev/null || ! command -v wineserver >/dev/null; then
    echo "SKIP: Wine is not installed"
    exit 77
fi
[ -f "$setup" ] || { echo "FAIL: no installer at $setup"; exit 1; }

root=$(mktemp -d "${TMPDIR:-/tmp}/zlv-installer.XXXXXX")
export WINEPREFIX="$root/prefix" HOME="$root/home" WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset WINEARCH
mkdir -p "$HOME"
cleanup() {
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    rm -rf "$root"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    exit 1
}
# The value of a registry value, or nothing when it is not there.
reg_value() {
    wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}
# Waits for every program of the prefix to end (the installer and its uninstaller copy).
settle() {
    wineserver -w 2>/dev/null || true
}

wine wineboot --init >/dev/null 2>&1 || true
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
wineserver -k 2>/dev/null || true
settle

uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Zelvory'
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'

wine "$setup" /S /AUTOSTART >/dev/null 2>&1 || fail "the installer ended with an error"
settle

users="$WINEPREFIX/drive_c/users"
exe=$(find "$users" -path '*/AppData/Local/Programs/Zelvory/zelvory.exe' | head -n 1)
[ -n "$exe" ] || fail "no zelvory.exe under the user's AppData\\Local\\Programs"
shortcut=$(find "$users" -path '*/Start Menu/Programs/Zelvory.lnk' | head -n 1)
[ -n "$shortcut" ] || fail "no Start-menu shortcut"
case "$(reg_value "$uninstall_key" UninstallString)" in
*uninstall.exe*) ;;
*) fail "no uninstall entry in Apps & Features" ;;
esac
[ "$(reg_value "$uninstall_key" DisplayName)" = Zelvory ] || fail "the entry has no name"
case "$(reg_value "$run_key" Zelvory)" in
*zelvory.exe*--tray*) ;;
*) fail "Start with Windows was asked for and is not in the Run key" ;;
esac
echo "installed: $exe"

# The installed program starts: it sets up its data folder and writes its settings.
wine "$exe" >/dev/null 2>&1 &
started=
for _ in $(seq 1 120); do
    config=$(find "$users" -path '*/QBS/ZLV/configuration.ini' 2>/dev/null | head -n 1)
    if [ -n "$config" ]; then
        started=yes
        break
    fi
    sleep 0.5
done
[ -n "$started" ] || fail "the installed program did not start"
echo "started: $config"
wineserver -k 2>/dev/null || true
settle
journal=$(dirname "$config")/journal-kept.txt
echo "a record" >"$journal"

uninstaller="$(dirname "$exe")/uninstall.exe"
[ -f "$uninstaller" ] || fail "no uninstaller next to the program"
wine "$uninstaller" /S >/dev/null 2>&1 || fail "the uninstaller ended with an error"
settle

[ ! -e "$exe" ] || fail "the program is still there after uninstalling"
[ ! -e "$uninstaller" ] || fail "the uninstaller is still there"
[ ! -e "$shortcut" ] || fail "the shortcut is still there"
[ -z "$(reg_value "$uninstall_key" UninstallString)" ] || fail "the uninstall entry stayed"
[ -z "$(reg_value "$run_key" Zelvory)" ] || fail "the Run value stayed"
[ -f "$config" ] && [ -f "$journal" ] || fail "uninstalling removed the journal"
echo "PASS: installed, started, uninstalled; the journal stayed"
