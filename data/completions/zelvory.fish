# fish completion for zelvory: every option of `zelvory --help`; a test keeps the two alike.
complete -c zelvory -f
complete -c zelvory -l tray -d 'Start with the window in the notification area'
complete -c zelvory -l print -d 'Print the records of a range of days'
complete -c zelvory -l follow -d 'Print each record as soon as it is written'
complete -c zelvory -l from -x -a '(date +%F)' -d 'First day of the range (YYYY-MM-DD)'
complete -c zelvory -l to -x -a '(date +%F)' -d 'Last day of the range (YYYY-MM-DD)'
complete -c zelvory -l find -x -d 'Only the records containing the text'
complete -c zelvory -l format -x -a 'display tsv csv json' -d 'How the records are printed'
complete -c zelvory -l status -d 'Say whether Zelvory runs and what gaps today has'
complete -c zelvory -s h -l help -d 'Show the help and exit'
complete -c zelvory -s v -l version -d 'Show the version and exit'
