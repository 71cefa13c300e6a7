# The words of the command's synopsis: its arguments (HOST, FILE, TARGET...), its flags (-4|-6: one
# of them) and its options, each followed by what its value is (N, MS, FILE, or choices such as
# text|csv|json) unless it takes none.
_tozelo_cli_synopsis()
{
    local line
    while read -r line; do
        if [[ ${line%% *} == "$1" ]]; then
            echo "${line#* }"
            return 0
        fi
    done <<<"$_tozelo_cli_synopses"
    return 1
}

# Completes a value or an argument by what the synopsis calls it.
_tozelo_cli_value()
{
    case $1 in
    FILE) _filedir ;;
    HOST) _known_hosts_real -- "$cur" ;;
    *'|'*) mapfile -t COMPREPLY < <(compgen -W "${1//|/ }" -- "$cur") ;;
    esac
}

_tozelo_cli()
{
    local cur prev words cword split
    _init_completion -s || return

    if ((cword == 1)); then
        mapfile -t COMPREPLY < <(compgen -W "$_tozelo_cli_commands $_tozelo_cli_options" -- "$cur")
        return
    fi
    local -a synopsis
    read -r -a synopsis <<<"$(_tozelo_cli_synopsis "${words[1]}")" || return

    # An option followed by another option, or by nothing, takes no value.
    local i arguments=() flags=" "
    for ((i = 0; i < ${#synopsis[@]}; i++)); do
        if [[ ${synopsis[i]} != -* ]]; then
            arguments+=("${synopsis[i]}")
        elif [[ ${synopsis[i]} == *'|'* ]]; then
            flags+="${synopsis[i]//|/ } "
        elif [[ ${synopsis[i + 1]:--} == -* ]]; then
            flags+="${synopsis[i]} "
        else
            if [[ ${synopsis[i]} == "$prev" ]]; then
                _tozelo_cli_value "${synopsis[i + 1]}"
                return
            fi
            ((i++))
        fi
    done
    [[ $split == true ]] && return

    if [[ $cur == -* ]]; then
        local options=()
        for ((i = 0; i < ${#synopsis[@]}; i++)); do
            [[ ${synopsis[i]} == -* ]] && options+=(${synopsis[i]//|/ })
        done
        mapfile -t COMPREPLY < <(compgen -W "${options[*]}" -- "$cur")
        return
    fi

    # Which argument is being typed: the words so far that are neither options nor their values.
    local given=0
    for ((i = 2; i < cword; i++)); do
        if [[ ${words[i]} == --*=* || $flags == *" ${words[i]} "* ]]; then
            continue
        elif [[ ${words[i]} == -?* ]]; then
            ((i++))
        else
            ((given++))
        fi
    done
    local argument=${arguments[given]:-}
    if [[ -z $argument && ${#arguments[@]} -gt 0 && ${arguments[-1]} == *... ]]; then
        argument=${arguments[-1]}
    fi
    _tozelo_cli_value "${argument%...}"
} &&
    complete -F _tozelo_cli tozelo-cli
