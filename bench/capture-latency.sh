#!/usr/bin/env bash
# Capture-to-file latency for a full 1920x1080 screen of text and photo: `lumetra --command capture`
# (the answer comes once the PNG is written) against scrot and `flameshot full -p`, interleaved, on a
# private Xvfb desktop. Prints the median wall time of each and the ratios.
#   bench/capture-latency.sh [build folder, default build-bench] [runs, default 9]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench}
runs=${2:-9}
tools/deps.sh bench
# Other work on the machine disturbs the figures less at a raised priority (all tools get the same).
[[ $(id -u) -eq 0 ]] && renice -n -15 $$ >/dev/null

source bench/desk.sh
desk_need Xvfb scrot flameshot dbus-daemon
desk_start
mkdir -p "$work/out" "$work/scrot" "$work/flameshot"
printf '[General]\npath=%s\nmouse=0\n' "$work/out" >"$config"
"$build/bench/show-picture" &
pids+=($!)
desk_start_lumetra "$build"
sleep 1

# flameshot talks to its own daemon over D-Bus; it gets a private session bus.
bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1)
export DBUS_SESSION_BUS_ADDRESS=$(sed -n 1p <<<"$bus")
dbus_pid=$(sed -n 2p <<<"$bus")
pids+=("$dbus_pid")

now_ms() { echo "${EPOCHREALTIME/./}"; }
declare -A times
time_it() {
    local name=$1
    shift
    local start end
    start=$(now_ms)
    "$@" >/dev/null 2>&1
    end=$(now_ms)
    times[$name]+="$(((end - start) / 1000)).$(printf '%03d' $(((end - start) % 1000))) "
}
lumetra_capture() { "$build/lumetra" --command '{"command":"capture"}'; }
scrot_capture() { scrot -o "$work/scrot/shot.png"; }
flameshot_capture() { flameshot full -p "$work/flameshot"; }

# One untimed round each: the first flameshot call starts its daemon.
lumetra_capture >/dev/null; scrot_capture; flameshot_capture >/dev/null 2>&1 || true
unset 'times[lumetra]' 'times[scrot]' 'times[flameshot]'
for ((i = 0; i < runs; i++)); do
    time_it lumetra lumetra_capture
    time_it scrot scrot_capture
    time_it flameshot flameshot_capture
done

median_of() { tr ' ' '\n' <<<"$1" | grep -v '^$' | median; }
lm=$(median_of "${times[lumetra]}")
sm=$(median_of "${times[scrot]}")
fm=$(median_of "${times[flameshot]}")
echo "runs: $runs, screen 1920x1080 (text and photo), times in ms"
printf '%-10s median %8.1f   all: %s\n' lumetra "$lm" "${times[lumetra]}" scrot "$sm" "${times[scrot]}" \
    flameshot "$fm" "${times[flameshot]}"
awk -v l="$lm" -v s="$sm" -v f="$fm" 'BEGIN { printf "lumetra/scrot %.3f   lumetra/flameshot %.3f\n", l / s, l / f }'
ls -l "$work/out" | tail -n +2 | head -3
