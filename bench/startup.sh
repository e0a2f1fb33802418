#!/usr/bin/env bash
# Start-up to the main window shown: `bench/startup.sh <build folder> [runs]`. Starts Lumetra on a private
# Xvfb desktop with openbox, times from the process start until its window is mapped and visible, quits it
# and repeats; prints every run and the minimum, median and maximum in milliseconds.
set -euo pipefail
build=$(realpath "${1:?build folder}")
runs=${2:-15}
cd "$(dirname "$0")/.."
source bench/desk.sh
desk_need Xvfb openbox xdotool
desk_start wm
# A stored choice of every kind, so that the start reads and translates a real store.
printf '[General]\nlanguage=ja\nappend=3\nsound=3\nrecord_limit=60\nmouse=0\n' >"$config"

times=()
for i in $(seq "$runs"); do
    start=$(date +%s%N)
    "$build/lumetra" &
    pid=$!
    # xdotool's own --sync looks only every half second, too coarse for this.
    until xdotool search --onlyvisible --class '^TFrmLumetra$' >/dev/null; do sleep 0.005; done
    end=$(date +%s%N)
    times+=($(((end - start) / 1000000)))
    "$build/lumetra" /uninst
    wait "$pid" || true
    echo "run $i: ${times[-1]} ms"
done
sorted=($(printf '%s\n' "${times[@]}" | sort -n))
echo "start-up to window shown, $runs runs: min ${sorted[0]} ms, median ${sorted[$((runs / 2))]} ms, max ${sorted[-1]} ms"
