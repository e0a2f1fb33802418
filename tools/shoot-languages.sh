#!/usr/bin/env bash
# Screenshots of the main window with its open menu in each of the seven languages, on a private Xvfb
# desktop: `tools/shoot-languages.sh [build folder] [output folder]`. Needs xvfb, openbox, xdotool and
# imagemagick. Writes <output>/main-<code>.png.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
out=$(realpath -m "${2:-$build/shots}")
for tool in Xvfb openbox xdotool import; do
    command -v "$tool" >/dev/null || { echo "$tool is missing (packages: xvfb openbox xdotool imagemagick)" >&2; exit 1; }
done
mkdir -p "$out"
work=$(mktemp -d /tmp/lumetra-shots-XXXXXX)
exec 3< <(Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp 2>/dev/null)
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null; rm -rf "$work"' EXIT
read -r -t 15 number <&3
export DISPLAY=":$number"
# Debian's openbox binds Print to its own screenshot command; the program would then open its hotkey
# dialog at start instead of the main window.
sed '/<keybind key="Print">/,/<\/keybind>/d' /etc/xdg/openbox/rc.xml >"$work/openbox-rc.xml"
openbox --sm-disable --config-file "$work/openbox-rc.xml" >/dev/null 2>&1 &
wm_pid=$!
trap 'kill $wm_pid $xvfb_pid 2>/dev/null; rm -rf "$work"' EXIT
sleep 1

for code in ko en ja ru it fr zh; do
    home="$work/$code"
    mkdir -p "$home/config/Brenholt" "$home/run" "$home/Desktop"
    chmod 700 "$home/run"
    printf '[General]\nlanguage=%s\n' "$code" >"$home/config/Brenholt/Lumetra.conf"
    HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home/run" "$build/lumetra" &
    lumetra_pid=$!
    window=$(xdotool search --sync --onlyvisible --class '^TFrmLumetra$' | head -1)
    sleep 1
    eval "$(xdotool getwindowgeometry --shell "$window")"
    # Right-click on the empty lower part of the window, away from the lists.
    xdotool mousemove $((X + 80)) $((Y + 100))
    sleep 0.3
    xdotool click 3
    sleep 0.7
    # The language submenu: the fourth item.
    xdotool key Down Down Down Down Right
    sleep 0.5
    import -window root -crop 520x420+$((X - 30))+$((Y - 40)) "$out/main-$code.png"
    xdotool key Escape Escape
    HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home/run" "$build/lumetra" /uninst
    wait "$lumetra_pid" || true
    echo "$out/main-$code.png"
done
