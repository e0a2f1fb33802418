#!/usr/bin/env bash
# Start-up to the main window shown: `bench/startup.sh <build folder> [runs]`. Starts Lumetra on a private
# Xvfb desktop with openbox, times from the process start until its window is mapped and visible, quits it
# and repeats; prints every run and the minimum, median and maximum in milliseconds.
set -euo pipefail
build=$(realpath "${1:?build folder}")
runs=${2:-15}
for tool in Xvfb openbox xdotool; do
    command -v "$tool" >/dev/null || { echo "$tool is missing (packages: xvfb openbox xdotool)" >&2; exit 1; }
done
work=$(mktemp -d /tmp/lumetra-startup-XXXXXX)
exec 3< <(Xvfb -displayfd 1 -screen 0 1920x1080x24 -nolisten tcp 2>/dev/null)
xvfb_pid=$!
read -r -t 15 number <&3
export DISPLAY=":$number"
openbox --sm-disable >/dev/null 2>&1 &
wm_pid=$!
trap 'kill $wm_pid $xvfb_pid 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/config/Brenholt" "$work/run" "$work/Desktop"
chmod 700 "$work/run"
export HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run"
# A stored choice of every kind, so that the start reads and translates a real store.
printf '[General]\nlanguage=ja\nappend=3\nsound=3\nrecord_limit=60\nmouse=0\n' >"$work/config/Brenholt/Lumetra.conf"
sleep 1

times=()
for i in $(seq "$runs"); do
    start=$(date +%s%N)
    "$build/lumetra" &
    pid=$!
    xdotool search --sync --onlyvisible --class '^TFrmLumetra$' >/dev/null
    end=$(date +%s%N)
    times+=($(((end - start) / 1000000)))
    "$build/lumetra" /uninst
    wait "$pid" || true
    echo "run $i: ${times[-1]} ms"
done
sorted=($(printf '%s\n' "${times[@]}" | sort -n))
echo "start-up to window shown, $runs runs: min ${sorted[0]} ms, median ${sorted[$((runs / 2))]} ms, max ${sorted[-1]} ms"
