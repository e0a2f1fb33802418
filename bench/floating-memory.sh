#!/usr/bin/env bash
# Resident memory of the running copy around floating windows, on a private Xvfb desktop with openbox:
# after one floating capture and its deletion (the start), with 100 floating windows of the whole
# 1920x1080 screen open, and after "모든 플로팅 삭제" has deleted them all.
#   bench/floating-memory.sh [build folder, default build-bench] [windows, default 100]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench}
count=${2:-100}
tools/deps.sh bench

source bench/desk.sh
desk_need Xvfb openbox xdotool
desk_start wm
printf '[General]\nmouse=0\nsaveto=10\n' >"$config"
"$build/bench/show-picture" &
picture=$!
pids+=($picture)
desk_start_lumetra "$build"
sleep 1
xdotool mousemove 960 540

rss() { awk '/^VmRSS/ {print $2}' "/proc/$lumetra/status"; }
capture() { "$build/lumetra" --command '{"command":"capture"}' >/dev/null; }
windows() { xdotool search --onlyvisible --class '^lumetra$' 2>/dev/null | wc -l; }
# The last item of the topmost window's context menu.
delete_all() {
    xdotool click 3
    sleep 0.5
    xdotool key Down Down Down Return
    for _ in $(seq 100); do [[ $(windows) -eq 0 ]] && break; sleep 0.1; done
    sleep 1
}

capture
sleep 0.5
# The picture bypasses the window manager and would lie over the floating windows; from here on the
# captures take the floating windows' own pictures.
kill "$picture"
sleep 0.3
delete_all
start=$(rss)
for ((i = 0; i < count; i++)); do capture; done
sleep 1
open=$(windows)
peak=$(rss)
delete_all
after=$(rss)
echo "floating windows of 1920x1080: $count ($open visible before the deletion)"
echo "after one window and its deletion: $((start / 1024)) MiB ($start KiB)"
echo "with $count windows open:          $((peak / 1024)) MiB ($peak KiB)"
echo "after deleting them all:          $((after / 1024)) MiB ($after KiB)"
echo "left over: $((after - start)) KiB; windows still visible: $(windows)"
