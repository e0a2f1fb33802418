#!/usr/bin/env bash
# Resident memory of the running copy: idle after start, after the first capture, and its growth over
# 200 consecutive full-screen PNG captures of a 1920x1080 screen on a private Xvfb desktop.
#   bench/memory.sh [build folder, default build-bench] [captures, default 200]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench}
count=${2:-200}
tools/deps.sh bench

source bench/desk.sh
desk_need Xvfb
desk_start
mkdir -p "$work/out"
printf '[General]\npath=%s\n' "$work/out" >"$config"
"$build/bench/show-picture" &
pids+=($!)
desk_start_lumetra "$build"
sleep 2

rss() { awk '/^VmRSS/ {print $2}' "/proc/$lumetra/status"; }
idle=$(rss)
"$build/lumetra" --command '{"command":"capture"}' >/dev/null
first=$(rss)
for ((i = 1; i < count; i++)); do
    "$build/lumetra" --command '{"command":"capture"}' >/dev/null
    ((i == count / 2)) && half=$(rss)
done
last=$(rss)
files=$(ls "$work/out" | wc -l)
echo "idle after start:          $((idle / 1024)) MiB ($idle KiB)"
echo "after the first capture:   $((first / 1024)) MiB ($first KiB)"
echo "after $((count / 2 + 1)) captures:        $((half / 1024)) MiB ($half KiB)"
echo "after $count captures:        $((last / 1024)) MiB ($last KiB)"
echo "growth from capture 1 to $count: $(((last - first) / 1024)) MiB ($((last - first)) KiB); files written: $files"
