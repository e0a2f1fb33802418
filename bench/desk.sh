# Sourced by the benchmark scripts: a private 1920x1080 Xvfb desktop and a private home for Lumetra, all
# removed on exit. After `desk_start [wm]`: $work (the home), $config (Lumetra's settings file to fill in),
# DISPLAY, XDG_RUNTIME_DIR, XDG_CONFIG_HOME, HOME, and the pids array killed on exit.

desk_need() {
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { echo "$tool is missing: run tools/deps.sh bench" >&2; exit 1; }
    done
}

desk_start() {
    local wm=${1:-}
    work=$(mktemp -d /tmp/lumetra-bench-XXXXXX)
    chmod 700 "$work"
    mkdir -p "$work/run" "$work/config/Brenholt" "$work/Desktop"
    chmod 700 "$work/run"
    config="$work/config/Brenholt/Lumetra.conf"
    pids=()
    trap desk_stop EXIT INT TERM

    exec 3< <(Xvfb -displayfd 1 -screen 0 1920x1080x24 -nolisten tcp 2>/dev/null)
    pids+=($!)
    local number
    read -r -t 15 number <&3 || { echo "Xvfb did not start" >&2; exit 1; }
    export DISPLAY=":$number" HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run"
    if [[ $wm == wm ]]; then
        # Debian's openbox would take Print for its own screenshot command.
        sed '/<keybind key="Print">/,/<\/keybind>/d' /etc/xdg/openbox/rc.xml >"$work/openbox-rc.xml"
        openbox --sm-disable --config-file "$work/openbox-rc.xml" >/dev/null 2>&1 &
        pids+=($!)
        sleep 1
    fi
}

desk_stop() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}

# Starts the running copy from the given build folder, hidden, and waits for its command socket; its pid
# is left in $lumetra.
desk_start_lumetra() {
    "$1/lumetra" /start >/dev/null 2>&1 &
    lumetra=$!
    pids+=($lumetra)
    for _ in $(seq 200); do [[ -S "$XDG_RUNTIME_DIR/TFrmLumetra" ]] && return; sleep 0.05; done
    echo "Lumetra did not start" >&2
    exit 1
}

# The median of numbers given one per line.
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
