#!/usr/bin/env bash
# Runs a phase of the build (install, configure, build, test) and says how long it took, also when it
# fails: timed.sh NAME COMMAND [ARGUMENT]...
# The processor time beside the wall time tells what the phase cost on a machine shared with others.
name=$1
shift
start=$(date +%s)
"$@"
status=$?
# This shell's finished children, in clock ticks: fields 16 and 17 of its stat line.
read -r -a stat </proc/$$/stat
cpu=$(((stat[15] + stat[16]) / $(getconf CLK_TCK)))
echo "== $name: $(($(date +%s) - start)) s, processor $cpu s$([ $status -eq 0 ] || echo ", failed ($status)")"
exit $status
