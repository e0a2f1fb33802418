#!/usr/bin/env bash
# Two builds side by side in one run, interleaved on one private Xvfb desktop with openbox, so that the
# machine's noise falls on both alike: start-up to the main window shown, the capture command to the
# written PNG, the Print key to the written PNG, and the resident memory at rest after start-up and after
# the captures. Prints the medians of each build and their ratio.
#   bench/compare-builds.sh <build folder A> <build folder B> [rounds, default 7]
set -euo pipefail
builds=("$(realpath "${1:?build folder A}")" "$(realpath "${2:?build folder B}")")
rounds=${3:-7}
cd "$(dirname "$0")/.."
[[ $(id -u) -eq 0 ]] && renice -n -15 $$ >/dev/null
source bench/desk.sh
desk_need Xvfb openbox xdotool xsetroot c++
desk_start wm
c++ -O2 -std=c++20 bench/hotkey-press.cpp -o "$work/hotkey-press" -lxcb -lxcb-xtest ||
    { echo "cannot build bench/hotkey-press.cpp: run tools/deps.sh bench" >&2; exit 1; }
# Something for the PNG writer to compress.
xsetroot -mod 7 5 -fg '#3a6ea5' -bg '#f0e6d2' 2>/dev/null || true

now() { date +%s%N; }
ms_since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f", (b - a) / 1e6 }'; }
rss() { awk '/^VmRSS/ {print $2}' "/proc/$1/status"; }
declare -A results

one_round() {
    local side=$1 build=${builds[$1]}
    rm -rf "$work/captures" "$XDG_RUNTIME_DIR"/*
    mkdir -p "$work/captures"
    printf '[General]\npath=%s\nsound=1\nmouse=0\n' "$work/captures" >"$config"
    local start pid
    start=$(now)
    "$build/lumetra" &
    pid=$!
    until xdotool search --onlyvisible --class '^TFrmLumetra$' >/dev/null 2>&1; do sleep 0.005; done
    results[$side,startup]+="$(ms_since "$start") "
    sleep 2
    results[$side,rest]+="$(rss "$pid") "
    for _ in 1 2 3 4 5; do
        start=$(now)
        "$build/lumetra" --command '{"command":"capture"}' >/dev/null
        results[$side,command]+="$(ms_since "$start") "
    done
    local n
    n=$(ls "$work/captures" | wc -l)
    for _ in 1 2 3; do
        n=$((n + 1))
        results[$side,hotkey]+="$("$work/hotkey-press" "$(printf '%s/captures/Q-%03d.png' "$work" $n)") "
    done
    sleep 2
    results[$side,after]+="$(rss "$pid") "
    "$build/lumetra" /uninst
    wait "$pid" || true
}

for round in $(seq "$rounds"); do
    # Alternate which build goes first.
    if ((round % 2)); then one_round 0; one_round 1; else one_round 1; one_round 0; fi
    echo "round $round of $rounds done"
done

med() { tr ' ' '\n' <<<"$1" | grep -v '^$' | median; }
printf '\n%-40s %12s %12s %8s\n' "median of $rounds rounds" "A" "B" "B/A"
for key in startup command hotkey rest after; do
    case $key in
    startup) label="start-up to window shown (ms)" ;;
    command) label="capture command to PNG (ms)" ;;
    hotkey) label="Print key to PNG (ms)" ;;
    rest) label="resident at rest after start (KiB)" ;;
    after) label="resident at rest after 8 captures (KiB)" ;;
    esac
    a=$(med "${results[0,$key]}")
    b=$(med "${results[1,$key]}")
    printf '%-40s %12s %12s %8.3f\n' "$label" "$a" "$b" "$(bc -l <<<"$b / $a")"
done
echo "A: ${builds[0]}"
echo "B: ${builds[1]}"
