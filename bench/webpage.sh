#!/usr/bin/env bash
# The web page source on a private Xvfb desktop with openbox: the browser window's start from the source
# choice to the blank page shown, then the capture command to the PNG written for loaded 1280 x 10000 and
# 1280 x 40000 pages of numbered stripes (served from 127.0.0.1), with the running copy's peak memory.
# When Debian's chromium is installed, its headless full-page screenshot of the same pages runs beside.
#   bench/webpage.sh [build folder, default build-bench] [captures per page, default 3]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench}
runs=${2:-3}
tools/deps.sh bench

source bench/desk.sh
desk_need Xvfb openbox xdotool python3
desk_start wm
mkdir -p "$work/pages" "$work/out"
printf '[General]\npath=%s\nmouse=0\nlanguage=en\n' "$work/out" >"$config"
for rows in 10000 40000; do
    {
        echo '<!DOCTYPE html><html><head><title>Stripes</title><style>body{margin:0}'
        echo 'div{width:1280px;height:100px;font:40px sans-serif}</style></head><body>'
        for ((i = 0; i < rows / 100; i++)); do
            echo "<div style='background:rgb($((i * 37 % 256)),$((i * 91 % 256)),$((i * 53 % 256)))'>$i</div>"
        done
        echo '</body></html>'
    } >"$work/pages/stripes$rows.html"
done
port=$((20000 + RANDOM % 20000))
python3 -m http.server "$port" --bind 127.0.0.1 --directory "$work/pages" >/dev/null 2>&1 &
pids+=($!)

now() { date +%s%N; }
ms() { echo $((($2 - $1) / 1000000)); }
kib() { awk "/^$1/ {print \$2}" "/proc/$lumetra/status"; }
find_window() { xdotool search --onlyvisible --class "$1" 2>/dev/null | head -1 || true; }

"$build/lumetra" >/dev/null 2>&1 &
lumetra=$!
pids+=($lumetra)
for _ in $(seq 400); do main=$(find_window '^TFrmLumetra$'); [[ -n $main ]] && break; sleep 0.05; done
[[ -n $main ]] || { echo "Lumetra did not start" >&2; exit 1; }
sleep 2
idle=$(kib VmRSS)

# The source list: open it, then the sixth entry.
xdotool mousemove --window "$main" 40 40 click 1
sleep 0.5
start=$(now)
xdotool key Down Down Down Down Down Return
for _ in $(seq 1200); do
    browser=$(find_window '^lumetra$')
    # The blank page's caption is the product's name.
    [[ -n $browser && $(xdotool getwindowname "$browser" 2>/dev/null) == Lumetra ]] && break
    sleep 0.01
done
shown=$(now)
[[ -n $browser ]] || { echo "the browser window did not show" >&2; exit 1; }
echo "idle before the web page source: $((idle / 1024)) MiB"
echo "source chosen -> blank page shown: $(ms "$start" "$shown") ms (resident then: $(($(kib VmRSS) / 1024)) MiB)"

for rows in 10000 40000; do
    xdotool windowactivate --sync "$browser" key alt+d type "http://127.0.0.1:$port/stripes$rows.html"
    xdotool key Return
    for _ in $(seq 600); do [[ $(xdotool getwindowname "$browser") == Stripes ]] && break; sleep 0.05; done
    sleep 1
    times=()
    for ((run = 0; run < runs; run++)); do
        rm -f "$work/out"/*
        begin=$(now)
        "$build/lumetra" --command '{"command":"capture"}' >/dev/null
        times+=($(ms "$begin" "$(now)"))
    done
    picture=$((1286 * rows * 4 / 1048576))
    echo "1280 x $rows: capture command -> PNG written, median of $runs: $(printf '%s\n' "${times[@]}" | median) ms" \
        "(each: ${times[*]}); picture $picture MiB; peak resident so far $(($(kib VmHWM) / 1024)) MiB"
    if command -v chromium >/dev/null; then
        begin=$(now)
        chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --window-size=1280,"$rows" \
            --screenshot="$work/chromium.png" "http://127.0.0.1:$port/stripes$rows.html" >/dev/null 2>&1 || true
        echo "    headless chromium, same page, window of the page's size: $(ms "$begin" "$(now)") ms"
    fi
done
engine=$(ps -C QtWebEngineProcess -o rss= | awk '{ s += $1 } END { print int(s / 1024) }')
echo "web engine processes resident at the end: $engine MiB"
