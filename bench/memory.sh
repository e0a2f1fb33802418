#!/usr/bin/env bash
# Resident memory of the running copy on a private 1920x1080 Xvfb desktop: idle after start, 2 s after the
# first full-screen capture, 2 s after 200 captures, and 2 s after one capture to each still-image target
# (TXT: 2 s after its file is written).
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
printf '[General]\npath=%s\nsound=1\n' "$work/out" >"$config"
"$build/bench/show-picture" &
pids+=($!)
desk_start_lumetra "$build"
sleep 2

rss() { awk '/^VmRSS/ {print $2}' "/proc/$lumetra/status"; }
row() { printf '%-34s %6d KiB  %5.1f MiB\n' "$1" "$2" "$(bc -l <<<"$2 / 1024")"; }
capture() { "$build/lumetra" --command '{"command":"capture"}' >/dev/null; }
# Restarts the running copy with a target chosen in its settings.
restart_with() {
    "$build/lumetra" /uninst
    wait "$lumetra" 2>/dev/null || true
    printf '[General]\npath=%s\nsound=1\nsaveto=%s\n' "$work/out" "$1" >"$config"
    desk_start_lumetra "$build"
    sleep 2
}

idle=$(rss)
row "idle after start" "$idle"
capture
row "right after the first capture" "$(rss)"
sleep 2
row "2 s after the first capture" "$(rss)"
for ((i = 1; i < count; i++)); do capture; done
row "right after $count captures" "$(rss)"
sleep 2
row "2 s after $count captures" "$(rss)"

for target in 1:JPG 2:GIF 3:BMP 4:WebP 6:TXT 7:clipboard; do
    restart_with "${target%%:*}"
    before=$(rss)
    capture
    # Text recognition ends seconds later, when its file is written.
    if [[ ${target#*:} == TXT ]]; then
        for _ in $(seq 600); do compgen -G "$work/out/*.txt" >/dev/null && break; sleep 0.1; done
    fi
    sleep 2
    row "${target#*:}: idle / 2 s after one" "$before"
    row "" "$(rss)"
done
