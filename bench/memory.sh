#!/usr/bin/env bash
# Resident memory of the running copy: idle after start, after the first capture, and its growth over
# 200 consecutive full-screen PNG captures of a 1920x1080 screen on a private Xvfb desktop.
#   bench/memory.sh [build folder, default build-bench] [captures, default 200]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench}
count=${2:-200}
tools/deps.sh bench

work=$(mktemp -d /tmp/lumetra-memory-XXXXXX)
mkdir -p "$work/run" "$work/config/Brenholt" "$work/out"
chmod 700 "$work/run"
export XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/config"
printf '[General]\npath=%s\n' "$work/out" >"$work/config/Brenholt/Lumetra.conf"
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; rm -rf "$work"' EXIT

exec 3< <(Xvfb -displayfd 1 -screen 0 1920x1080x24 -nolisten tcp 2>/dev/null)
pids+=($!)
read -r -t 15 number <&3
export DISPLAY=":$number"
"$build/bench/show-picture" &
pids+=($!)
"$build/lumetra" /start &
lumetra=$!
pids+=($lumetra)
for _ in $(seq 200); do [[ -S "$work/run/TFrmLumetra" ]] && break; sleep 0.05; done
sleep 2

rss() { awk '/^VmRSS/ {print $2}' "/proc/$lumetra/status"; }
idle=$(rss)
"$build/lumetra" --command '{"command":"capture"}' >/dev/null
first=$(rss)
for ((i = 1; i < count; i++)); do
    "$build/lumetra" --command '{"command":"capture"}' >/dev/null
    [[ $i -eq 100 ]] && half=$(rss)
done
last=$(rss)
files=$(ls "$work/out" | wc -l)
echo "idle after start:          $((idle / 1024)) MiB ($idle KiB)"
echo "after the first capture:   $((first / 1024)) MiB ($first KiB)"
echo "after 101 captures:        $((half / 1024)) MiB ($half KiB)"
echo "after $count captures:        $((last / 1024)) MiB ($last KiB)"
echo "growth from capture 1 to $count: $(((last - first) / 1024)) MiB ($((last - first)) KiB); files written: $files"
