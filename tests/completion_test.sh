#!/usr/bin/env bash
# Drives Tolvane's bash completion against a temporary store.
#   completion_test.sh path/to/Tolvane.bash
set -u
source "$1"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export ODBCINI=$dir/user.ini ODBCSYSINI=$dir
unset ODBCSEARCH
printf '[My DSN]\nDriver=x\nDatabase=/srv/my.db\n\n[Plain]\nPort=1\n' >"$ODBCINI"
printf '[System One]\nServer=db\n[Plain]\nHidden=1\n' >"$dir/odbc.ini"

passed=0
failed=0
# complete EXPECTED WORD...: completes the last word; EXPECTED is the
# replies joined by '|'.
complete_words() {
  local expected=$1
  shift
  COMP_WORDS=(Tolvane "$@")
  COMP_CWORD=$#
  _tolvane
  local got
  got=$(IFS='|'; printf '%s' "${COMPREPLY[*]}")
  if [[ $got == "$expected" ]]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL: Tolvane $*<TAB>: got [$got], expected [$expected]"
  fi
}

complete_words 'My\ DSN|Plain|System\ One' ''
complete_words 'My\ DSN' 'M'
complete_words 'My\ DSN' 'My\ '
complete_words '"My DSN"' '"My'
complete_words "'System One'" "'Sys"
complete_words 'Plain' 'P'
complete_words '' 'Nothing'
complete_words 'Driver|Database' 'My\ DSN' ''
complete_words 'Database' '"My DSN"' 'Da'
complete_words 'Port' 'Plain' ''
complete_words 'Server' 'system\ one' ''
complete_words '' 'Missing' ''
complete_words '' 'My\ DSN' 'Driver' ''
# Silent where unixODBC's odbcinst is missing.
PATH=$dir complete_words '' ''

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
