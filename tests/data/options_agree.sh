#!/usr/bin/env bash
# The long options of `zelvory --help` are those of the manual page, the README's terminal
# section and the three shell completions; and bash and fish complete a few words for real.
#   options_agree.sh <zelvory> <zelvory.1> <README.md> <completions folder>
set -euo pipefail
app=$1 page=$2 readme=$3 comp=$4
status=0
options() { grep -o -- '--[a-z][a-z-]*' | sort -u; }
expected=$("$app" --help | options)
[ "$(echo "$expected" | wc -l)" -ge 5 ] || { echo "--help names too few options: $expected"; exit 1; }

check() { # <what> <got> <wanted>
  if [ "$2" != "$3" ]; then
    printf '%s:\n%s\ninstead of:\n%s\n' "$1" "$2" "$3"
    status=1
  fi
}
check "options of the manual page" "$(MANWIDTH=250 man --nh --nj -l "$page" 2>/dev/null | options)" "$expected"
check "options of the README" "$(sed -n '/^## From a terminal/,/^## /p' "$readme" | options)" "$expected"
check "options of the bash completion" "$(options <"$comp/zelvory.bash")" "$expected"
check "options of the zsh completion" "$(options <"$comp/_zelvory")" "$expected"
check "options of the fish completion" \
  "$(grep -o -- ' -l [a-z-]*' "$comp/zelvory.fish" | sed 's/ -l /--/' | sort -u)" "$expected"

# What Tab offers after the words given, the last one unfinished.
bash_tab() {
  bash -c 'source "$1"; shift; COMP_WORDS=(zelvory "$@"); COMP_CWORD=$#; _zelvory
           printf "%s\n" "${COMPREPLY[@]}"' _ "$comp/zelvory.bash" "$@"
}
check "bash: zelvory --fo" "$(bash_tab --fo)" $'--follow\n--format'
check "bash: zelvory --format c" "$(bash_tab --format c)" "csv"
check "bash: zelvory --print --from" "$(bash_tab --print --from '')" "$(date +%F)"
check "bash: zelvory --find" "$(bash_tab --find '')" ""
if command -v fish >/dev/null; then
  fish_tab() { fish --no-config -c "source $comp/zelvory.fish; complete -C '$1'" | cut -f1; }
  check "fish: zelvory --fo" "$(fish_tab 'zelvory --fo')" $'--follow\n--format'
  check "fish: zelvory --format" "$(fish_tab 'zelvory --format ')" $'csv\ndisplay\njson\ntsv'
fi
if command -v zsh >/dev/null; then zsh -n "$comp/_zelvory" || status=1; fi
exit "$status"
