# bash completion for zelvory                                  -*- shell-script -*-
# Every option of `zelvory --help`; a test keeps the two lists alike.

_zelvory()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    case $prev in
    --format)
        mapfile -t COMPREPLY < <(compgen -W 'display tsv csv json' -- "$cur")
        return
        ;;
    --from | --to)
        # Today is the day most often typed, and it shows the form a date takes.
        mapfile -t COMPREPLY < <(compgen -W "$(date +%F)" -- "$cur")
        return
        ;;
    --find)
        return
        ;;
    esac
    mapfile -t COMPREPLY < <(compgen -W '--tray --print --follow --from --to --find
        --format --status --help --version' -- "$cur")
}
complete -F _zelvory zelvory
