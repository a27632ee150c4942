# bash completion for Tolvane: data source names, then the keywords already
# set in that data source, as unixODBC's odbcinst lists them.

# The word as the shell will pass it: without its opening quote, or with
# backslash escapes undone.
_tolvane_dequote() {
  local word=$1
  case $word in
    \"*) word=${word#\"}; word=${word%\"} ;;
    \'*) word=${word#\'}; word=${word%\'} ;;
    *)
      local plain="" i
      for ((i = 0; i < ${#word}; i++)); do
        if [[ ${word:i:1} == \\ ]]; then ((i++)); fi
        plain+=${word:i:1}
      done
      word=$plain
      ;;
  esac
  printf '%s' "$word"
}

# Adds the candidates that start with what was typed, quoted the way the
# word was begun.
_tolvane_reply() {
  local typed=$1 current candidate
  shift
  current=$(_tolvane_dequote "$typed")
  for candidate in "$@"; do
    [[ $candidate == "$current"* ]] || continue
    case $typed in
      \"*) COMPREPLY+=("\"$candidate\"") ;;
      \'*) COMPREPLY+=("'$candidate'") ;;
      *) COMPREPLY+=("$(printf '%q' "$candidate")") ;;
    esac
  done
}

_tolvane() {
  COMPREPLY=()
  command -v odbcinst >/dev/null 2>&1 || return 0
  local line names=() seen=""
  case $COMP_CWORD in
    1)
      while IFS= read -r line; do
        line=${line%$'\r'}
        [[ $line == \[*\] ]] || continue
        line=${line:1:${#line}-2}
        [[ $seen == *$'\n'"$line"$'\n'* ]] && continue
        seen+=$'\n'"$line"$'\n'
        names+=("$line")
      done < <(odbcinst -q -s 2>/dev/null)
      ;;
    2)
      local data_source
      data_source=$(_tolvane_dequote "${COMP_WORDS[1]}")
      while IFS= read -r line; do
        line=${line%$'\r'}
        [[ $line == *=* && $line != \[* ]] || continue
        names+=("${line%%=*}")
      done < <(odbcinst -q -s -n "$data_source" 2>/dev/null)
      ;;
    *) return 0 ;;
  esac
  _tolvane_reply "${COMP_WORDS[COMP_CWORD]}" "${names[@]}"
}

complete -F _tolvane Tolvane
