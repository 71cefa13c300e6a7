#!/usr/bin/env bash
# Fails when a C++ source differs from what clang-format makes of it (.clang-format), naming each such
# file. It checks the sources under the given paths; with none, those under the paths listed in
# .format-checked, one a line ("." for the whole tree), which is what `make test` holds the tree to.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
if [ $# -eq 0 ]; then
    mapfile -t paths < <(sed -e 's/#.*//' -e 's/[[:space:]]*$//' -e '/^$/d' .format-checked)
    if [ ${#paths[@]} -eq 0 ]; then
        echo "format check: .format-checked lists no path; nothing checked"
        exit 0
    fi
    set -- "${paths[@]}"
fi
command -v clang-format >/dev/null || { echo "format check: clang-format is missing (scripts/install-deps.sh)" >&2; exit 1; }
# The tracked sources, or in a tree that is not a clone every source outside the build folders.
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    mapfile -t files < <(git ls-files -- "$@" | grep -E '\.(cpp|h)$' || true)
else
    mapfile -t files < <(find "$@" -name 'build*' -prune -o -type f \( -name '*.cpp' -o -name '*.h' \) -print)
fi
unformatted=()
for file in "${files[@]}"; do
    clang-format --dry-run --Werror "$file" >/dev/null 2>&1 || unformatted+=("$file")
done
if [ ${#unformatted[@]} -gt 0 ]; then
    printf 'not formatted: %s\n' "${unformatted[@]}" >&2
    echo "format check: ${#unformatted[@]} of ${#files[@]} sources differ from .clang-format; 'make format' formats them" >&2
    exit 1
fi
echo "format check: ${#files[@]} sources formatted"
