#!/bin/sh
# Writes tozelo-cli's bash completion: its commands, their arguments and options as the program's
# --help lists them, then the completion function that reads them (tozelo-cli.bash).
# Usage: completion.sh TOZELO_CLI FUNCTION_FILE OUTPUT
set -eu
help=$("$1" --help)
tables=$(printf '%s\n' "$help" | awk '
/^[^ ].*:$/ { section = $0; next }
section == "Commands:" && /^  [a-z]/ { commands = commands sep $1; sep = " "; synopses = synopses nl $0; nl = "\n"; next }
section == "Commands:" && /^ +\[/ { synopses = synopses $0; next }
section == "Options:" && /^  -/ { for (i = 1; i <= NF && $i ~ /^-/; i++) { sub(/,$/, "", $i); options = options osep $i; osep = " " } }
END {
    gsub(/[][]/, "", synopses)
    gsub(/  +/, " ", synopses)
    gsub(/\n /, "\n", synopses)
    sub(/^ /, "", synopses)
    if (index(commands options synopses, sprintf("%c", 39))) {
        print "a quote in a synopsis of tozelo-cli --help would end the generated strings early" > "/dev/stderr"
        exit 1
    }
    printf "_tozelo_cli_commands=%c%s%c\n", 39, commands, 39
    printf "_tozelo_cli_options=%c%s%c\n", 39, options, 39
    printf "_tozelo_cli_synopses=%c%s%c\n", 39, synopses, 39
}')
case $tables in *"_commands=''"* | *"_synopses=''"*)
    echo "$0: no command found in tozelo-cli --help" >&2
    exit 1
    ;;
esac
{
    echo "# bash completion for tozelo-cli, made from tozelo-cli --help when the program was built."
    printf '%s\n\n' "$tables"
    cat "$2"
} >"$3"
