#!/usr/bin/env bash
# Upload of a full 1920x1080 screen of text and photo to the image store that ships with Lumetra, on a
# private Xvfb desktop: the time from `lumetra --command capture` to the address reaching the desktop
# opener (a recorder put first on PATH), beside the same capture to a PNG file; and the running copy's
# memory before and after its first upload (the HTTP module is loaded then). bench_upload shows the PNG
# encoding and the transfer apart.
#   bench/upload-latency.sh [build folder, default build-bench] [runs, default 9]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench}
runs=${2:-9}
tools/deps.sh bench
[[ $(id -u) -eq 0 ]] && renice -n -15 $$ >/dev/null

source bench/desk.sh
desk_need Xvfb
desk_start
mkdir -p "$work/out" "$work/store" "$work/bin"
# The opener notes when it was asked, in microseconds, and what.
cat >"$work/bin/xdg-open" <<'OPENER'
#!/bin/bash
echo "${EPOCHREALTIME/./} $1" >>"$LUMETRA_BENCH_OPENED"
OPENER
chmod +x "$work/bin/xdg-open"
export PATH="$work/bin:$PATH" LUMETRA_BENCH_OPENED="$work/opened"
touch "$work/opened"

exec 4< <("$build/lumetra-store" --folder "$work/store" --listen 127.0.0.1:0)
pids+=($!)
read -r -t 15 line <&4 || { echo "lumetra-store did not start" >&2; exit 1; }
export LUMETRA_UPLOAD_HOST="127.0.0.1:${line##* }"

printf '[General]\npath=%s\nmouse=0\nsaveto=0\n' "$work/out" >"$config"
"$build/bench/show-picture" &
pids+=($!)
desk_start_lumetra "$build"
sleep 1

rss() { awk '/^VmRSS/ {print $2}' "/proc/$lumetra/status"; }
now_us() { echo "${EPOCHREALTIME/./}"; }
# Runs one upload and prints its time in ms: command to address opened.
upload_once() {
    local before start
    before=$(wc -l <"$work/opened")
    start=$(now_us)
    "$build/lumetra" --command '{"command":"capture"}' >/dev/null
    while [[ $(wc -l <"$work/opened") -eq $before ]]; do sleep 0.002; done
    local opened
    opened=$(tail -n 1 "$work/opened" | cut -d' ' -f1)
    echo "$(((opened - start) / 1000)).$(printf '%03d' $(((opened - start) % 1000)))"
}
# A capture to a PNG file, answered once the file is written.
file_once() {
    local start end
    start=$(now_us)
    "$build/lumetra" --command '{"command":"capture"}' >/dev/null
    end=$(now_us)
    echo "$(((end - start) / 1000)).$(printf '%03d' $(((end - start) % 1000)))"
}
switch_target() {
    sed -i "s/^saveto=.*/saveto=$1/" "$config"
    "$build/lumetra" /uninst >/dev/null 2>&1 || true
    wait "$lumetra" 2>/dev/null || true
    desk_start_lumetra "$build"
    sleep 1
}

# The same capture to a PNG file first, then uploads, each in a fresh process of its own.
idle_file=$(rss)
files=()
for ((i = 0; i < runs; i++)); do files+=("$(file_once)"); done
after_files=$(rss)
switch_target 8
idle=$(rss)
first=$(upload_once)
loaded=$(rss)
uploads=()
for ((i = 0; i < runs; i++)); do uploads+=("$(upload_once)"); done
after_uploads=$(rss)
sleep 2
rested=$(rss)

um=$(printf '%s\n' "${uploads[@]}" | median)
fm=$(printf '%s\n' "${files[@]}" | median)
echo "runs: $runs, screen 1920x1080 (text and photo), times in ms"
printf '%-24s median %8.1f   all: %s\n' "capture to address opened" "$um" "${uploads[*]}"
printf '%-24s median %8.1f   all: %s\n' "capture to PNG file" "$fm" "${files[*]}"
printf "ratio upload/file: %s   first upload (module loaded): %s ms\n" "$(awk -v u="$um" -v f="$fm" "BEGIN { printf \"%.2f\", u / f }")" "$first"
echo "memory, PNG files: idle $((idle_file / 1024)) MiB, after $runs captures $((after_files / 1024)) MiB"
echo "memory, uploads:   idle $((idle / 1024)) MiB, after the first $((loaded / 1024)) MiB, after $((runs + 1)) $((after_uploads / 1024)) MiB, 2 s later $((rested / 1024)) MiB"
echo "stored: $(ls "$work/store" | wc -l) images of $(du -sh "$work/store" | cut -f1)"
