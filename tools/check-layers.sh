#!/usr/bin/env bash
# Fails when a source file includes a header its layer may not use (tools/layers.txt says which). Tests,
# benchmarks and tools may include anything.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A allowed
while IFS= read -r line; do
    [[ -z "$line" || "$line" == \#* ]] && continue
    allowed["${line%%:*}"]=" ${line#*:} "
done <tools/layers.txt

# The rule of a file is that of the longest listed folder holding it.
rule_of() {
    local dir=$1
    while [[ "$dir" != . ]]; do
        [[ -n "${allowed[$dir]+set}" ]] && { echo "$dir"; return; }
        dir=$(dirname "$dir")
    done
}

failures=0
while IFS= read -r file; do
    rule=$(rule_of "$(dirname "$file")")
    if [[ -z "$rule" ]]; then
        echo "$file: its folder has no line in tools/layers.txt" >&2
        failures=$((failures + 1))
        continue
    fi
    while IFS=: read -r number header; do
        [[ "$header" == */* ]] || continue # beside the including file
        folder=$(dirname "$header")
        if [[ "${allowed[$rule]}" != *" $folder "* ]]; then
            echo "$file:$number: includes \"$header\", which $rule/ may not use" >&2
            failures=$((failures + 1))
        fi
    done < <(grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" | sed 's/^\([0-9]*\):[^"]*"\([^"]*\)".*/\1:\2/')
done < <(git ls-files '*.h' '*.cpp' '*.c' | grep -Ev '^(tests|bench|tools)/')

if [[ $failures -gt 0 ]]; then
    echo "$failures include(s) against the layers in tools/layers.txt" >&2
    exit 1
fi
