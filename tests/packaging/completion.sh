#!/usr/bin/env bash
# tozelo-cli's bash completion, loaded as bash-completion loads it, completes commands, each
# command's options, --format's values and file names; and every option it offers is one the
# program accepts. Skipped (77) where bash-completion is not installed.
# Usage: completion.sh COMPLETION_FILE TOZELO_CLI
source "$(dirname "$0")/common.sh"
completion=$1
cli=$2
framework=/usr/share/bash-completion/bash_completion
[ -f "$framework" ] || {
    echo "bash-completion is not installed (scripts/install-deps.sh brings it)"
    exit 77
}
set +eu
source "$framework"
source "$completion"
set -eu

# What completing the line (ending at the cursor) offers, sorted, one a line.
offers() {
    local line=$1
    read -r -a COMP_WORDS <<<"$line"
    [[ $line == *" " ]] && COMP_WORDS+=("")
    COMP_LINE=$line
    COMP_POINT=${#line}
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _tozelo_cli tozelo-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf '%s\n' "${COMPREPLY[@]}" | sort
}

expect() {
    local got
    got=$(offers "$1" | tr '\n' ' ')
    [ "$got" = "$2 " ] || fail "'$1' offers '$got', not '$2 '"
}

mkdir -p "$scratch/files/lists"
touch "$scratch/files/found.txt" "$scratch/files/other.txt"
cd "$scratch/files"

expect "tozelo-cli " "--help --version -h help history ping reping scan sweep"
expect "tozelo-cli s" "scan sweep"
expect "tozelo-cli ping --" "--size --timeout --ttl"
expect "tozelo-cli ping -" "--size --timeout --ttl -4 -6"
expect "tozelo-cli ping -6 --size " ""
expect "tozelo-cli ping --size " ""
expect "tozelo-cli sweep 192.0.2.0/24 --format " "csv json jsonl text xml"
expect "tozelo-cli sweep --format=j" "json jsonl"
expect "tozelo-cli sweep 192.0.2.0/24 --rate 10 " ""
expect "tozelo-cli sweep --names --save o" "other.txt"
expect "tozelo-cli sweep --progress --order " "address random"
expect "tozelo-cli sweep --names 192.0.2.0/24 -f f" "found.txt"
expect "tozelo-cli sweep -f found.txt --exclude-file o" "other.txt"
expect "tozelo-cli reping f" "found.txt"
expect "tozelo-cli reping " "found.txt lists other.txt"
expect "tozelo-cli reping found.txt " ""
expect "tozelo-cli scan 192.0.2.1 192.0.2.9 --save o" "other.txt"
expect "tozelo-cli scan --interval 10 192.0.2.1 " ""
expect "tozelo-cli pong --" ""

# Every option offered is accepted: without arguments the command stops at a usage error, never an
# unknown option, and nothing is sent.
for command in $(offers "tozelo-cli " | grep -v '^-'); do
    for option in $(offers "tozelo-cli $command --"); do
        # A flag takes no value: with nothing after it, it stands alone.
        value=1
        [[ $option == --* ]] || value=
        "$cli" "$command" "$option" $value >/dev/null 2>"$scratch/err" &&
            fail "$command $option $value ran without its arguments"
        if grep -q "unknown option" "$scratch/err"; then fail "$command does not know $option"; fi
    done
done
finish
