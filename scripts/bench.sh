#!/usr/bin/env bash
# Runs every benchmark of build folder $1 (or those named after it, such as bench_sweep) inside a
# testbed of its own (tests/testbed/testbed.sh), so that their packets reach only the testbed's hosts.
# Benchmarks print figures; this never fails.
set -uo pipefail
build=$(cd "${1:-build}" && pwd)
shift $(($# > 0))
root=$(cd "$(dirname "$0")/.." && pwd)
testbed=$root/tests/testbed/testbed.sh
readonly BENCH_LIMIT_SECONDS=600

# `tozelo-cli sweep` is timed against fping, masscan and zmap, and on a link against arp-scan and nmap;
# the benches say so when one is missing.
"$root/scripts/install-deps.sh" bench || echo "bench: going on without the sweepers it compares with" >&2

benches=()
for exe in "$build"/bench/bench_*; do
    [ $# -eq 0 ] || [[ " $* " == *" $(basename "$exe") "* ]] || continue
    [ -f "$exe" ] && [ -x "$exe" ] && benches+=("$exe")
done
if [ ${#benches[@]} -eq 0 ]; then
    echo "bench: no benchmarks in $build/bench"
    exit 0
fi

# What the windows and commands keep (their history) goes to a folder of this run, not the user's.
data=$(mktemp -d)
export XDG_DATA_HOME=$data

name=bench$$
inside=()
if TOZELO_TOOLS=$build/tests "$testbed" up "$name"; then
    trap '"$testbed" down "$name"; rm -rf "$data"' EXIT
    inside=(ip netns exec "$name-c" env TOZELO_TESTBED="$name")
else
    trap 'rm -rf "$data"' EXIT
    echo "bench: no testbed here; the figures that need one are left out"
fi

for exe in "${benches[@]}"; do
    echo "== $(basename "$exe")"
    "${inside[@]}" env QT_QPA_PLATFORM=offscreen timeout -k 5 "$BENCH_LIMIT_SECONDS" "$exe" ||
        echo "bench: $(basename "$exe") ended with status $?"
done
exit 0
