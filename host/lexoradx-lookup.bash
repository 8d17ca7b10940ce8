# bash completion for lexoradx-lookup: options, the dictionaries -d takes,
# folders and files for the options that name them.
_lexoradx_lookup() {
  local cur prev
  cur=${COMP_WORDS[COMP_CWORD]}
  prev=${COMP_WORDS[COMP_CWORD-1]}
  case $prev in
    -d|--dict)
      COMPREPLY=($(compgen -W 'all en fr ja' -- "$cur"))
      return ;;
    --pages|--media|--base-path)
      COMPREPLY=($(compgen -d -- "$cur"))
      return ;;
    --module)
      COMPREPLY=($(compgen -f -X '!*.so' -- "$cur") $(compgen -d -- "$cur"))
      return ;;
    --timeout|--deadline|--map)
      return ;;
  esac
  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W '--dict --list --module --pages --media --online --timeout
      --deadline --map --base-path --no-audio --refresh --no-cache --json --raw --trace
      --help --version' -- "$cur"))
  fi
}
complete -F _lexoradx_lookup lexoradx-lookup
