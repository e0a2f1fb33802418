#!/usr/bin/env bash
# Print Screen to a complete PNG of the full screen: `bench/hotkey-latency.sh [build folder] [runs]`.
# Runs Lumetra hidden on a private 1920x1080 Xvfb desktop with openbox and times each press of Print
# until the numbered file appears (the writer renames a finished file into place, so its appearance
# means the file is complete). Two figures: the whole `xdotool key Print` command to the file, which
# includes xdotool's own start, and the press alone (bench/hotkey-press.cpp: XTEST from a client that
# is already connected). Prints every run and the medians.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench}
runs=${2:-15}
source bench/desk.sh
desk_need Xvfb openbox xdotool xsetroot c++
[[ -x "$build/lumetra" ]] || { echo "no $build/lumetra: build it first" >&2; exit 1; }

desk_start wm
mkdir -p "$work/captures"
printf '[General]\npath=%s\nsound=1\n' "$work/captures" >"$config"
c++ -O2 -std=c++20 bench/hotkey-press.cpp -o "$work/hotkey-press" -lxcb -lxcb-xtest ||
    { echo "cannot build bench/hotkey-press.cpp: run tools/deps.sh bench" >&2; exit 1; }
# A patterned desktop rather than a black one, so that the PNG writer has something to compress.
xsetroot -mod 7 5 -fg '#3a6ea5' -bg '#f0e6d2' 2>/dev/null || true
desk_start_lumetra "$build"

now() { date +%s%N; }

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
