# Bash completion for zvmp3-cli. The commands and each command's options are read from the
# program's own --help, so the completion offers exactly what the installed program takes.
# Plain bash is enough: nothing here needs the bash-completion package's helpers.

# Words of the program's command list.
_zvmp3_cli_commands() {
    "$1" --help 2>/dev/null | sed -n '/^Commands:/,/^$/s/^  \([a-z][a-z-]*\) .*/\1/p'
}

# The long options of one command: the first column of its help's option lines.
_zvmp3_cli_options() {
    {
        "$1" "$2" --help 2>/dev/null | grep -E '^[[:space:]]+-' |
            sed -E 's/^[[:space:]]+//; s/  .*//' | grep -oE -- '--[a-z][a-z0-9-]*'
        echo --verbose
    } | sort -u
}

# Folders and the files whose extension (any case) is one of the given ones.
_zvmp3_cli_files() {
    local cur=$1 ext pattern
    shift
    compopt -o filenames 2>/dev/null
    COMPREPLY+=($(compgen -d -- "$cur"))
    for ext in "$@"; do
        pattern=$(printf '%s' "$ext" | sed 's/[a-zA-Z]/[\L&\U&]/g')
        COMPREPLY+=($(compgen -f -X "!*.$pattern" -- "$cur"))
    done
}

_zvmp3_cli() {
    local IFS=$'\n'
    local cli=${COMP_WORDS[0]} cword=$COMP_CWORD
    local cur=${COMP_WORDS[COMP_CWORD]} prev="" prefix=""
    ((cword > 0)) && prev=${COMP_WORDS[cword - 1]}
    # "--name=VALUE": bash splits the words at the "=" (COMP_WORDBREAKS) or leaves them whole;
    # the part of the word before the value is given back with each reply.
    if [[ $cur == "=" && $prev == --* ]]; then
        cur=""
        prefix="="
    elif [[ $prev == "=" && $cword -ge 2 ]]; then
        prev=${COMP_WORDS[cword - 2]}
    elif [[ $cur == --*=* ]]; then
        prev=${cur%%=*}
        cur=${cur#*=}
        prefix="$prev="
    fi
    COMPREPLY=()
    _zvmp3_cli_reply
    if [[ -n $prefix ]]; then
        COMPREPLY=("${COMPREPLY[@]/#/$prefix}")
    fi
    return 0
}

# The replies for the word being completed; reads _zvmp3_cli's cli, cword, cur and prev.
_zvmp3_cli_reply() {
    if ((cword == 1)); then
        COMPREPLY=($(compgen -W "$(_zvmp3_cli_commands "$cli")"$'\n'"--help"$'\n'"--version" \
            -- "$cur"))
        return 0
    fi
    local cmd=${COMP_WORDS[1]}

    case $prev in
    --state)
        _zvmp3_cli_files "$cur" prf
        return 0
        ;;
    --params | --save)
        _zvmp3_cli_files "$cur" zv3
        return 0
        ;;
    -o | --output)
        if [[ $cmd == stream ]]; then
            COMPREPLY=($(compgen -W $'raw\nwav' -- "$cur"))
        else
            _zvmp3_cli_files "$cur" wav mp3 flac opus
        fi
        return 0
        ;;
    --format)
        COMPREPLY=($(compgen -W $'raw\nwav' -- "$cur"))
        return 0
        ;;
    --channels)
        COMPREPLY=($(compgen -W $'1\n2' -- "$cur"))
        return 0
        ;;
    -d | --folder)
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -d -- "$cur"))
        return 0
        ;;
    --external-encoder)
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -c -- "$cur") $(compgen -f -- "$cur"))
        return 0
        ;;
    --preset)
        COMPREPLY=($(compgen -W "$("$cli" presets --tsv 2>/dev/null | tail -n +2 | cut -f1)" \
            -- "$cur"))
        return 0
        ;;
    --set)
        # The stored fields' names, as 'params --show' prints them.
        compopt -o nospace 2>/dev/null
        COMPREPLY=($(compgen -W "$("$cli" params --show 2>/dev/null |
            sed -n 's/^\([^ =]*\) = .*/\1=/p')" -- "$cur"))
        return 0
        ;;
    --rate)
        COMPREPLY=($(compgen -W $'32000\n44100\n48000' -- "$cur"))
        return 0
        ;;
    --bitrate)
        # Opus takes any rate from 12 to 256 kbit/s; MP3 its standard rates.
        local w opus=0
        for w in "${COMP_WORDS[@]}"; do
            [[ $w == --opus ]] && opus=1
        done
        if ((opus)); then
            COMPREPLY=($(compgen -W $'64\n96\n128\n160\n192\n256' -- "$cur"))
        else
            COMPREPLY=($(compgen -W $'32\n40\n48\n56\n64\n80\n96\n112\n128\n160\n192\n224\n256\n320' \
                -- "$cur"))
        fi
        return 0
        ;;
    --affix | --album-prefix | --title-prefix | --encoder-params | --encoder-timeout | -j | \
        --jobs | --device | --in | --out | --buffers | --seconds)
        return 0
        ;;
    esac

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$(_zvmp3_cli_options "$cli" "$cmd")" -- "$cur"))
        return 0
    fi
    case $cmd in
    export | peak | probe | play | loudness)
        _zvmp3_cli_files "$cur" wav mp3 flac ogg oga opus
        ;;
    playlist)
        if ((cword == 2)); then
            COMPREPLY=($(compgen -W $'show\nmake' -- "$cur"))
        elif [[ ${COMP_WORDS[2]} == show ]]; then
            _zvmp3_cli_files "$cur" plt
        else
            _zvmp3_cli_files "$cur" plt wav mp3 flac ogg oga opus
        fi
        ;;
    esac
}
complete -F _zvmp3_cli zvmp3-cli
