#!/usr/bin/env bash
# Every long option `zelvory --help` names is named by the manual page, the README's terminal
# section and the three shell completions, and none of them names one that --help does not;
# then bash and fish are asked to complete a few words for real.
#   options_agree.sh <zelvory> <zelvory.1> <README.md> <completions folder>
set -euo pipefail
app=$1 page=$2 readme=$3 completions=$4
status=0

long_options() { grep -o -- '--[a-z][a-z-]*' | sort -u; }
expected=$("$app" --help | long_options)
if [ "$(echo "$expected" | wc -l)" -lt 5 ]; then
  echo "zelvory --help names too few options: $expected"
  exit 1
fi

agree() { # <what> <its options>
  if [ "$2" != "$expected" ]; then
    echo "$1 and zelvory --help name different options (< --help, > $1):"
    diff <(echo "$expected") <(echo "$2") || true
    status=1
  fi
}
agree "the manual page" "$(MANWIDTH=250 man --nh --nj -l "$page" 2>/dev/null | long_options)"
agree "the README's terminal section" \
  "$(sed -n '/^## From a terminal/,/^## /p' "$readme" | long_options)"
agree "the bash completion" "$(long_options <"$completions/zelvory.bash")"
agree "the zsh completion" "$(long_options <"$completions/_zelvory")"
agree "the fish completion" \
  "$(grep -o -- ' -l [a-z-]*' "$completions/zelvory.fish" | sed 's/ -l /--/' | sort -u)"

# What a user gets after typing the words given (the last one unfinished) and Tab.
bash_completes() {
  bash -c 'source "$1"; shift; COMP_WORDS=(zelvory "$@"); COMP_CWORD=$#; _zelvory
           printf "%s\n" "${COMPREPLY[@]}"' _ "$completions/zelvory.bash" "$@"
}
check() { # <shell> <words> <got> <wanted>
  if [ "$3" != "$4" ]; then
    printf '%s completes "zelvory %s" to:\n%s\ninstead of:\n%s\n' "$1" "$2" "$3" "$4"
    status=1
  fi
}
check bash "--fo" "$(bash_completes --fo)" $'--follow\n--format'
check bash "--format c" "$(bash_completes --format c)" "csv"
check bash "--print --from " "$(bash_completes --print --from '')" "$(date +%F)"
check bash "--find " "$(bash_completes --find '')" ""

if command -v fish >/dev/null; then
  fish_completes() { fish --no-config -c "source $completions/zelvory.fish; complete -C '$1'" | cut -f1; }
  check fish "--fo" "$(fish_completes 'zelvory --fo')" $'--follow\n--format'
  check fish "--format " "$(fish_completes 'zelvory --format ')" $'csv\ndisplay\njson\ntsv'
else
  echo "fish is not installed: its completion is only compared, not run"
fi
if command -v zsh >/dev/null; then
  zsh -n "$completions/_zelvory" || status=1
fi
exit "$status"
