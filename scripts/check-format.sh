#!/usr/bin/env bash
# Fails, naming the files, when a C++ source differs from what .clang-format makes of it.
# "scripts/check-format.sh --fix" formats them in place instead.
set -euo pipefail
cd "$(dirname "$0")/.."

cf=$(command -v clang-format-14 || command -v clang-format || true)
if [ -z "$cf" ]; then
    echo "clang-format is not installed (scripts/install-deps.sh installs it)" >&2
    exit 1
fi

mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--fix" ]; then
    "$cf" -i --style=file "${files[@]}"
    exit 0
fi

drift=()
for f in "${files[@]}"; do
    "$cf" --style=file "$f" | cmp -s "$f" - || drift+=("$f")
done
if [ ${#drift[@]} -gt 0 ]; then
    echo "These files differ from .clang-format (scripts/check-format.sh --fix mends them):" >&2
    printf '  %s\n' "${drift[@]}" >&2
    exit 1
fi
