#!/usr/bin/env bash
# Runs a phase of the build (install, configure, build, test) and says how long it took, also when it
# fails: timed.sh NAME COMMAND [ARGUMENT]...
name=$1
shift
start=$(date +%s)
"$@"
status=$?
echo "== $name: $(($(date +%s) - start)) s$([ $status -eq 0 ] || echo ", failed ($status)")"
exit $status
