#!/usr/bin/env bash
# Puts the slips of scripts/mutants.list into the source one at a time, builds only the tests that
# exercise the changed unit, runs them, and counts the slips the tests caught. The source is put
# back after each slip, and the build brought up to date at the end.
#
#   scripts/mutants.sh [BUILD] [FILTER]     FILTER: a regular expression over the list's lines
#   scripts/mutants.sh --check              only checks that every entry still applies to the code
#
# The list's head says what an entry is. The tests run under ctest, so those of tests/net go into
# the testbed.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
list=$root/scripts/mutants.list
readonly TEST_LIMIT_SECONDS=120

# The tests that exercise a source file.
testsOf() {
    case "$1" in
    platform/IpAddress.cpp) echo unit_tst_IpAddress unit_tst_SweepTargets unit_tst_Cli ;;
    platform/IcmpPacket.cpp) echo unit_tst_IcmpPacket unit_tst_IcmpApi unit_tst_TICMP net_tst_TICMP net_tst_Sweep ;;
    ping/icmp.cpp) echo unit_tst_TICMP unit_tst_TPing unit_tst_IcmpPacket unit_tst_Cli net_tst_TICMP net_tst_Cli ;;
    echo/Notation.cpp) echo unit_tst_Notation unit_tst_Cli unit_tst_MultiPingScan gui_tst_RangeScanPage ;;
    echo/FileReplacement.cpp) echo unit_tst_MachineListFile gui_tst_TForm1 net_tst_Cli ;;
    echo/*) echo unit_tst_EchoTerms unit_tst_TICMP unit_tst_IcmpApi net_tst_TICMP ;;
    flows/RePingWalk.cpp) echo unit_tst_RePingWalk gui_tst_TForm5 net_tst_GuiRePing net_tst_Cli ;;
    flows/MultiPingScan.cpp) echo unit_tst_MultiPingScan gui_tst_RangeScanPage net_tst_ScanCli ;;
    platform/ArpPacket.cpp) echo unit_tst_ArpPacket net_tst_HelperArp ;;
    helper/ArpService.cpp) echo unit_tst_ArpService net_tst_HelperArp ;;
    sweep/SweepTargets.cpp) echo unit_tst_SweepTargets unit_tst_Cli net_tst_Sweep ;;
    sweep/SweepSignature.cpp) echo unit_tst_SweepSignature unit_tst_Sweep net_tst_Sweep ;;
    sweep/SweepReport.cpp) echo unit_tst_SweepReport net_tst_Cli ;;
    sweep/ReverseNames.cpp) echo unit_tst_ReverseNames net_tst_Cli ;;
    sweep/NeighbourSearch.cpp) echo net_tst_Cli ;;
    sweep/Sweep.cpp | sweep/SweepSettings.h | sweep/SweepPlan.cpp | sweep/SweepReceiver.cpp)
        echo unit_tst_Sweep unit_tst_SweepPlan unit_tst_SweepTargets unit_tst_Cli net_tst_Cli net_tst_Sweep ;;
    sweep/*) echo unit_tst_Sweep unit_tst_SweepPlan unit_tst_Cli net_tst_Sweep ;;
    cli/*) echo unit_tst_Cli net_tst_Cli net_tst_ScanCli net_tst_Sweep ;;
    flows/MachineListFile.cpp) echo unit_tst_MachineListFile gui_tst_TForm1 gui_tst_TForm5 net_tst_Cli ;;
    main/SweepResultModel.cpp) echo gui_tst_FastSweepPage ;;
    main/* | ui/*) echo gui_tst_TForm1 gui_tst_TForm5 gui_tst_RangeScanPage net_tst_GuiSinglePing net_tst_GuiRePing ;;
    widgets/FloatEdit.cpp) echo widgets_tst_TFloatEdit gui_tst_TForm2 gui_tst_TForm3 gui_tst_TForm5 gui_tst_RangeScanPage ;;
    widgets/*) echo widgets_tst_TGradient widgets_tst_TBackground widgets_tst_TAHMBackground widgets_tst_TBCBitmap widgets_tst_ToxForm \
        widgets_tst_ToxDockBar widgets_tst_ToxGraphicButton widgets_tst_TAHMSplashScreen ;;
    *) return 1 ;;
    esac
}

# An entry's parts: file, search and replace.
parse() {
    local line=$1 rest
    file=${line%% :: *}
    rest=${line#* :: }
    rest=${rest% =>}
    search=${rest%% => *}
    replace=${rest#* => }
    [ "$rest" == "$search" ] && replace=""
}

# How often an entry's TEXT occurs in its file.
occurrences() {
    SEARCH=$search perl -0ne 'BEGIN { $s = $ENV{SEARCH} =~ s/@@/\n/gr } $n = () = /\Q$s\E/g; print $n' "$root/$file"
}

entries() {
    grep -v -e '^#' -e '^$' "$list"
}

# Every entry names a file whose tests are known and whose text occurs there once.
check() {
    local line bad=0 count=0 n
    while IFS= read -r line; do
        count=$((count + 1))
        parse "$line"
        if [ ! -f "$root/$file" ]; then
            echo "no such file: $line"
        elif ! testsOf "$file" >/dev/null; then
            echo "no tests known for $file: $line"
        elif n=$(occurrences) && [ "$n" != 1 ]; then
            echo "found $n times: $line"
        else
            continue
        fi
        bad=$((bad + 1))
    done < <(entries)
    [ "$count" -gt 0 ] || { echo "mutants.list holds no entry"; return 1; }
    echo "mutants.list: $((count - bad)) of $count entries apply"
    [ "$bad" -eq 0 ]
}

if [ "${1:-}" = --check ]; then
    check
    exit
fi
build=$(cd "${1:-$root/build}" && pwd)
filter=${2:-.}

backup=$(mktemp)
current=""
restore() {
    # A fresh time stamp, so that the build compiles the restored file again.
    [ -n "$current" ] && cat "$backup" >"$root/$current"
    current=""
}
trap 'restore; rm -f "$backup"' EXIT
trap 'exit 130' INT TERM

caught=0
survived=0
invalid=0
declare -A unitCaught unitTotal
touchedTargets=()
log=$build/mutants.log
: >"$log"

while IFS= read -r line; do
    [[ "$line" =~ $filter ]] || continue
    parse "$line"
    tests=$(testsOf "$file") || { echo "no tests known for $file" >&2; exit 2; }
    # The tests of a folder share one executable: net_tst_Cli is built by net_tests.
    targets=($(for test in $tests; do echo "${test%%_tst_*}_tests"; done | sort -u))
    [[ "$file" =~ ^(platform|echo|sweep|ping|flows|cli)/ ]] && targets+=(tozelo-cli)
    touchedTargets+=("${targets[@]}")

    cp "$root/$file" "$backup"
    current=$file
    if ! SEARCH=$search REPLACE=$replace perl -0pi -e '
            BEGIN { ($s, $r) = map { s/@@/\n/gr } @ENV{qw(SEARCH REPLACE)} }
            $n = () = /\Q$s\E/g; die "found $n times\n" if $n != 1;
            s/\Q$s\E/$r/;' "$root/$file"; then
        echo "BAD LIST LINE: $line" >&2
        restore
        exit 2
    fi
    echo "=== $line" >>"$log"
    if ! cmake --build "$build" --target "${targets[@]}" >>"$log" 2>&1; then
        verdict=INVALID
        ((invalid++))
    else
        pattern="^($(echo $tests | tr ' ' '|'))\$"
        output=$(cd "$build" && ctest -R "$pattern" --timeout $TEST_LIMIT_SECONDS -j2 --output-on-failure 2>&1)
        echo "$output" >>"$log"
        # The failed test functions, and the executables that crashed or ran out of time.
        failed=$( (echo "$output" | sed -n 's/^FAIL!  : \([^(]*\)(.*/\1/p' | sort -u
            echo "$output" | sed -n 's/^.*Test *#[0-9]*: \([^ ]*\) .*\*\*\*\(Exception\|Timeout\).*/\1 (crashed)/p') |
            tr '\n' ' ')
        if [ -z "$failed" ] && echo "$output" | grep -q '\*\*\*Failed'; then
            failed=$(echo "$output" | sed -n 's/^[[:space:]]*[0-9]* - \([^ ]*\) .*/\1/p' | tr '\n' ' ')
        fi
        unit=${file##*/}
        unitTotal[$unit]=$((${unitTotal[$unit]:-0} + 1))
        if [ -n "$failed" ]; then
            verdict="caught by $failed"
            ((caught++))
            unitCaught[$unit]=$((${unitCaught[$unit]:-0} + 1))
        else
            verdict=SURVIVED
            ((survived++))
        fi
    fi
    restore
    echo "$verdict :: $line" | tee -a "$log"
done < <(entries)

echo
for unit in "${!unitTotal[@]}"; do
    printf '%-22s %d of %d caught\n' "$unit" "${unitCaught[$unit]:-0}" "${unitTotal[$unit]}"
done | sort
total=$((caught + survived))
[ $total -gt 0 ] && echo "caught $caught of $total ($((100 * caught / total)) %); $invalid did not build"
if [ ${#touchedTargets[@]} -gt 0 ]; then
    cmake --build "$build" --target $(printf '%s\n' "${touchedTargets[@]}" | sort -u) >/dev/null 2>&1 ||
        echo "the build could not be brought up to date" >&2
fi
