#!/usr/bin/env bash
# Print Screen to a complete PNG of the full screen: `bench/hotkey-latency.sh [build folder] [runs]`.
# Runs Lumetra hidden on a private 1920x1080 Xvfb desktop with openbox, presses Print with xdotool and
# times each press until the numbered file appears (the writer renames a finished file into place, so
# its appearance means the file is complete). Prints every run, the median, and the median time of
# xdotool itself pressing a key nobody holds, which is part of each figure.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${2:-15}
for tool in Xvfb openbox xdotool xsetroot; do
    command -v "$tool" >/dev/null || { echo "$tool is missing: run tools/deps.sh test" >&2; exit 1; }
done
[[ -x "$build/lumetra" ]] || { echo "no $build/lumetra: build it first" >&2; exit 1; }

work=$(mktemp -d /tmp/lumetra-bench-XXXXXX)
chmod 700 "$work"
mkdir -p "$work/config/Brenholt" "$work/captures" "$work/run"
chmod 700 "$work/run"
printf '[General]\npath=%s\nsound=1\n' "$work/captures" >"$work/config/Brenholt/Lumetra.conf"
# Debian's openbox would take Print for its own screenshot command.
sed '/<keybind key="Print">/,/<\/keybind>/d' /etc/xdg/openbox/rc.xml >"$work/openbox-rc.xml"

pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

exec 3< <(Xvfb -displayfd 1 -screen 0 1920x1080x24 -nolisten tcp 2>/dev/null)
pids+=($!)
read -r -t 15 number <&3 || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$number" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run" HOME="$work"
openbox --sm-disable --config-file "$work/openbox-rc.xml" >/dev/null 2>&1 &
pids+=($!)
# A patterned desktop rather than a black one, so that the PNG writer has something to compress.
xsetroot -mod 7 5 -fg '#3a6ea5' -bg '#f0e6d2' 2>/dev/null || true
sleep 1
"$build/lumetra" /start >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 200); do [[ -S "$work/run/TFrmLumetra" ]] && break; sleep 0.05; done
[[ -S "$work/run/TFrmLumetra" ]] || { echo "Lumetra did not start" >&2; exit 1; }

now() { date +%s%N; }
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# One warm-up press, not counted.
xdotool key Print
for _ in $(seq 400); do [[ -e "$work/captures/Q-001.png" ]] && break; sleep 0.01; done

results=()
for run in $(seq "$runs"); do
    file=$(printf '%s/captures/Q-%03d.png' "$work" $((run + 1)))
    start=$(now)
    xdotool key Print
    deadline=$((start + 10000000000))
    while [[ ! -e "$file" ]]; do
        (($(now) < deadline)) || { echo "run $run: no file after 10 s" >&2; exit 1; }
    done
    ms=$(awk -v a="$start" -v b="$(now)" 'BEGIN { printf "%.1f", (b - a) / 1e6 }')
    results+=("$ms")
    echo "run $run: $ms ms"
done
bytes=$(stat -c %s "$file")

press=()
for _ in $(seq "$runs"); do
    start=$(now)
    xdotool key F24
    press+=("$(awk -v a="$start" -v b="$(now)" 'BEGIN { printf "%.1f", (b - a) / 1e6 }')")
done

echo "Print to complete 1920x1080 PNG ($bytes bytes), median of $runs: $(printf '%s\n' "${results[@]}" | median) ms"
echo "xdotool alone pressing a free key, median of $runs: $(printf '%s\n' "${press[@]}" | median) ms"
