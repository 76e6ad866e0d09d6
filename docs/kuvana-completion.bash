# Bash completion for kuvana: commands, subcommands, their options and the
# values of options that take a fixed set. Installed as
# share/bash-completion/completions/kuvana; to try it from a source tree:
#     source docs/kuvana-completion.bash
_kuvana()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    local command=${COMP_WORDS[1]} sub=${COMP_WORDS[2]} subs="" options
    local commands="demo compat protocolinfo profiles uri time mime digest base64 uuid printf ini console"
    COMPREPLY=()

    case $command in
        protocolinfo) subs="parse compose match merge best-scheme" ;;
        profiles) subs="intersect" ;;
        uri) subs="parse combine resolve escape unescape" ;;
        time) subs="duration clock date fraction" ;;
        mime) subs="parse compare" ;;
        digest) subs="md5 sha1 hmac-md5 hmac-sha1" ;;
        base64) subs="encode decode" ;;
        ini) subs="get set delete dump" ;;
    esac
    if ((COMP_CWORD == 1)); then
        COMPREPLY=($(compgen -W "$commands --help --version" -- "$cur"))
        return
    fi
    if [[ -n $subs ]] && ((COMP_CWORD == 2)); then
        COMPREPLY=($(compgen -W "$subs --help" -- "$cur"))
        return
    fi

    # Values of options.
    case $prev in
        --sink | --defaults | --batch | --server | --renderer | --html) COMPREPLY=($(compgen -f -- "$cur")); return ;;
        --examples) COMPREPLY=($(compgen -d -- "$cur")); return ;;
        --component) COMPREPLY=($(compgen -W "uri path query fragment userinfo" -- "$cur")); return ;;
        --ci) COMPREPLY=($(compgen -W "0 1" -- "$cur")); return ;;
        --listen) COMPREPLY=($(compgen -W "127.0.0.1 any" -- "$cur")); return ;;
        --flag)
            COMPREPLY=($(compgen -W "senderPaced lopNpt lopBytes playContainer s0Increasing
                sNIncreasing rtspPause tmStreaming tmInteractive tmBackground httpStalling
                dlnaV15 linkProtected clearTextByteSeekFull lopClearTextBytes" -- "$cur"))
            return ;;
        --protocol | --network | --format | --pn | --op | --ps | --flags | --maxsp | --param | \
        --dtcp | --context | --protocols | --max-denominator | --count | --port | \
        --max-clients | --idle-timeout)
            return ;;
    esac

    [[ -n $subs ]] && command="$command $sub"
    case $command in
        "demo") options="--json --examples" ;;
        "protocolinfo parse") options="--json" ;;
        "protocolinfo compose") options="--json --protocol --network --format --pn --op --ps --ci
            --flag --flags --maxsp --param --adjust --dtcp --context" ;;
        "compat") options="--json --server --renderer --html" ;;
        "protocolinfo match") options="--json --all --sink --batch" ;;
        "protocolinfo merge") options="--json --list" ;;
        "protocolinfo best-scheme") options="--json --protocols" ;;
        "uri parse") options="--json --escaped" ;;
        "uri escape") options="--json --component" ;;
        "uri unescape") options="--json --query" ;;
        "time fraction") options="--json --max-denominator" ;;
        "base64 decode") options="--json --ignore-garbage" ;;
        "uuid") options="--json --count" ;;
        "ini get") options="--json --defaults --substitute" ;;
        "console") options="--listen --port --max-clients --idle-timeout --allow-remote
            --allow-files" ;;
        *) options="--json" ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options --help" -- "$cur"))
    elif [[ $cur == @* ]]; then
        COMPREPLY=($(compgen -f -P @ -- "${cur#@}"))
    fi
    # Otherwise file names (complete -o default).
}
complete -o default -F _kuvana kuvana
