#!/usr/bin/env bash
# The update check's cost: resident memory at idle without a check, after one answered by an HTTPS service
# and while a service that is down is retried; then how long a quit takes while the check waits between
# attempts, beside a quit with no check at all. Private Xvfb desktop and certificate authority.
#   bench/update-check.sh [build folder, default build-bench] [quits, default 9]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build-bench}")
runs=${2:-9}
tools/deps.sh bench

source bench/desk.sh
desk_need Xvfb openssl
desk_start
printf '[General]\nsound=1\n' >"$config"

# A private authority and a certificate for 127.0.0.1, trusted by the program through its test facility.
(
    cd "$work"
    openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj /CN=bench-ca
    openssl req -newkey rsa:2048 -nodes -keyout srv.key -out srv.csr -subj /CN=127.0.0.1
    printf 'subjectAltName=IP:127.0.0.1\n' >srv.ext
    openssl x509 -req -in srv.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out srv.pem -days 2 -extfile srv.ext
) >/dev/null 2>&1
export LUMETRA_UPDATE_CA_FILE="$work/ca.pem"
port=$((20000 + RANDOM % 20000))
# -www answers every GET with a page: a complete reply without update or notice.
openssl s_server -quiet -accept "127.0.0.1:$port" -cert "$work/srv.pem" -key "$work/srv.key" -www \
    >/dev/null 2>&1 &
pids+=($!)
sleep 0.5
# Refused at once: nobody listens on port 1.
down=https://127.0.0.1:1

rss() { awk '/^VmRSS/ {print $2}' "/proc/$lumetra/status"; }
row() { printf '%-46s %6d KiB  %5.1f MiB\n' "$1" "$2" "$(bc -l <<<"$2 / 1024")"; }
http_loaded() { grep -c 'liblumetra-http\|libcurl' "/proc/$lumetra/maps" || true; }
stop() {
    "$build/lumetra" /uninst
    wait "$lumetra" 2>/dev/null || true
}

# Not https: the program makes no check at all.
LUMETRA_UPDATE_URL=http://127.0.0.1:1 desk_start_lumetra "$build"
sleep 3
row "idle, no check" "$(rss)"
echo "  HTTP module mappings: $(http_loaded)"
stop

LUMETRA_UPDATE_URL=https://127.0.0.1:$port desk_start_lumetra "$build"
sleep 3
row "idle, 3 s after an answered check" "$(rss)"
echo "  HTTP module mappings: $(http_loaded)"
stop

LUMETRA_UPDATE_URL=$down desk_start_lumetra "$build"
sleep 3
row "idle, service down, waiting to retry" "$(rss)"
stop

# SIGTERM (the session's end) to process gone, in milliseconds.
quit_time() {
    LUMETRA_UPDATE_URL=$1 desk_start_lumetra "$build"
    sleep 1.5
    local start end
    start=$(date +%s%N)
    kill -TERM "$lumetra"
    wait "$lumetra" 2>/dev/null || true
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}
for kind in none waiting; do
    times=()
    for _ in $(seq "$runs"); do
        if [[ $kind == none ]]; then times+=("$(quit_time http://127.0.0.1:1)"); else times+=("$(quit_time "$down")"); fi
    done
    printf 'quit, %-30s median %4s ms  (%s)\n' \
        "$([[ $kind == none ]] && echo 'no check' || echo 'during the 10 s waits')" \
        "$(printf '%s\n' "${times[@]}" | median)" "${times[*]}"
done
