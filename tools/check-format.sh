#!/usr/bin/env bash
# Fails when a C++ file of the project differs from what clang-format makes of it.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files -- '*.cpp' '*.h')
[[ ${#files[@]} -eq 0 ]] && exit 0
if ! clang-format --dry-run --Werror "${files[@]}" 2>/tmp/lumetra-format.log; then
    head -40 /tmp/lumetra-format.log >&2
    echo "The tree is not formatted: run  clang-format -i \$(git ls-files '*.cpp' '*.h')" >&2
    exit 1
fi
