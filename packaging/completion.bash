# bash completion for qbank: the subcommands, then file names. The subcommands are read from
# `qbank --help` once, so that the list is always the installed program's own.
_qbank() {
  local cur=${COMP_WORDS[COMP_CWORD]}
  if [ "$COMP_CWORD" -eq 1 ]; then
    if [ -z "${_qbank_subcommands:-}" ]; then
      _qbank_subcommands=$(qbank --help 2>/dev/null |
        awk '/^[A-Za-z ]*[Ss][Uu][Bb][Cc][Oo][Mm][Mm][Aa][Nn][Dd][Ss]:/ {on = 1; next}
             on && /^  [a-z]/ {print $1} on && /^[^ ]/ {on = 0}')
    fi
    mapfile -t COMPREPLY < <(compgen -W "$_qbank_subcommands --help --version" -- "$cur")
    return
  fi
  if [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "--help -o --bank --from-version --interactive" -- "$cur")
    return
  fi
  mapfile -t COMPREPLY < <(compgen -f -- "$cur")
  compopt -o filenames 2>/dev/null
}
complete -F _qbank qbank
