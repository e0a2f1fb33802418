#!/usr/bin/env bash
# Print Screen to a complete PNG of the full screen: `bench/hotkey-latency.sh [build folder] [runs]`.
# Runs Lumetra hidden on a private 1920x1080 Xvfb desktop with openbox and times each press of Print
# until the numbered file appears (the writer renames a finished file into place, so its appearance
# means the file is complete). Two figures: the whole `xdotool key Print` command to the file, which
# includes xdotool's own start, and the press alone (bench/hotkey-press.cpp: XTEST from a client that
# is already connected). Prints every run and the medians.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${2:-15}
for tool in Xvfb openbox xdotool xsetroot c++; do
    command -v "$tool" >/dev/null || { echo "$tool is missing: run tools/deps.sh test" >&2; exit 1; }
done
[[ -x "$build/lumetra" ]] || { echo "no $build/lumetra: build it first" >&2; exit 1; }

work=$(mktemp -d /tmp/lumetra-bench-XXXXXX)
chmod 700 "$work"
mkdir -p "$work/config/Brenholt" "$work/captures" "$work/run"
chmod 700 "$work/run"
printf '[General]\npath=%s\nsound=1\n' "$work/captures" >"$work/config/Brenholt/Lumetra.conf"
# Debian's openbox would take Print for its own screenshot command.
sed '/<keybind key="Print">/,/<\/keybind>/d' /etc/xdg/openbox/rc.xml >"$work/openbox-rc.xml"

c++ -O2 -std=c++20 bench/hotkey-press.cpp -o "$work/hotkey-press" -lxcb -lxcb-xtest ||
    { echo "cannot build bench/hotkey-press.cpp: run tools/deps.sh bench" >&2; exit 1; }

pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

exec 3< <(Xvfb -displayfd 1 -screen 0 1920x1080x24 -nolisten tcp 2>/dev/null)
pids+=($!)
read -r -t 15 number <&3 || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$number" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run" HOME="$work"
openbox --sm-disable --config-file "$work/openbox-rc.xml" >/dev/null 2>&1 &
pids+=($!)
# A patterned desktop rather than a black one, so that the PNG writer has something to compress.
xsetroot -mod 7 5 -fg '#3a6ea5' -bg '#f0e6d2' 2>/dev/null || true
sleep 1
"$build/lumetra" /start >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 200); do [[ -S "$work/run/TFrmLumetra" ]] && break; sleep 0.05; done
[[ -S "$work/run/TFrmLumetra" ]] || { echo "Lumetra did not start" >&2; exit 1; }

now() { date +%s%N; }
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# One warm-up press, not counted.
xdotool key Print
for _ in $(seq 400); do [[ -e "$work/captures/Q-001.png" ]] && break; sleep 0.01; done

results=()
pressed=()
next=2
for run in $(seq "$runs"); do
    file=$(printf '%s/captures/Q-%03d.png' "$work" $next)
    start=$(now)
    xdotool key Print
    deadline=$((start + 10000000000))
    while [[ ! -e "$file" ]]; do
        (($(now) < deadline)) || { echo "run $run: no file after 10 s" >&2; exit 1; }
    done
    ms=$(awk -v a="$start" -v b="$(now)" 'BEGIN { printf "%.1f", (b - a) / 1e6 }')
    results+=("$ms")
    file=$(printf '%s/captures/Q-%03d.png' "$work" $((next + 1)))
    press=$("$work/hotkey-press" "$file")
    pressed+=("$press")
    next=$((next + 2))
    echo "run $run: xdotool key Print $ms ms, press alone $press ms"
done
bytes=$(stat -c %s "$file")

echo "1920x1080 PNG of $bytes bytes, median of $runs:"
echo "  xdotool key Print to complete file: $(printf '%s\n' "${results[@]}" | median) ms"
echo "  key press to complete file:         $(printf '%s\n' "${pressed[@]}" | median) ms"
