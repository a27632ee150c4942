#!/usr/bin/env bash
# Builds the Debian package from a fresh build tree with the package presets,
# installs it with dpkg, uses the installed Tolvane on a temporary store,
# finds its manual page, then removes the package and checks nothing is left.
#   package_test.sh SOURCE_DIR ODBC_INI_DUMP
set -u
source=$1
dump=$2

if [ "$(id -u)" -ne 0 ]; then
  echo "skipped: installing a package needs root"
  exit 77
fi
if dpkg-query -W -f='${Status}' tolvane 2>/dev/null | grep -q "install ok installed"; then
  echo "skipped: a tolvane package is installed already"
  exit 77
fi

passed=0
failed=0
pass() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "FAIL: $*"; }
finish() {
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
  exit
}

cd "$source" || exit 1
if ! { cmake --preset package --fresh >/dev/null && cmake --build --preset package >/dev/null &&
       cpack --preset deb >/dev/null; }; then
  fail "building the package"
  finish
fi
deb=$(ls build/package/tolvane_*.deb)
files=$(dpkg-deb -c "$deb" | awk '{print $6}' | sed 's/^\.//' | grep -v '/$')

depends=$(dpkg-deb -f "$deb" Depends)
case $depends in *libodbcinst2*) pass ;; *) fail "Depends lacks libodbcinst2: $depends" ;; esac
case $depends in *-dev*) fail "Depends names a development package: $depends" ;; *) pass ;; esac
for path in /usr/bin/Tolvane /usr/share/man/man1/Tolvane.1 \
            /usr/share/bash-completion/completions/Tolvane; do
  grep -qx "$path" <<<"$files" && pass || fail "$path is not in the package"
done

if ! dpkg -i "$deb" >/dev/null; then
  fail "dpkg -i"
  finish
fi
store=$(mktemp -d)
[ "$(command -v Tolvane)" = /usr/bin/Tolvane ] && pass || fail "Tolvane is not on PATH"
ODBCINI=$store/user.ini ODBCSYSINI=$store Tolvane "My DSN" AllowUnsupportedChar 1 &&
  pass || fail "the installed Tolvane failed"
[ "$("$dump" "$store/user.ini")" = "$(printf 'My DSN\tAllowUnsupportedChar\t1')" ] &&
  pass || fail "the reader does not see the entry: $("$dump" "$store/user.ini")"
rm -rf "$store"
[ "$(man -w Tolvane 2>/dev/null)" = /usr/share/man/man1/Tolvane.1 ] &&
  pass || fail "man -w Tolvane: $(man -w Tolvane 2>&1)"

dpkg -r tolvane >/dev/null && pass || fail "dpkg -r"
dpkg-query -W -f='${Status}' tolvane 2>/dev/null | grep -q "install ok installed" &&
  fail "the package is still installed" || pass
for path in $files; do
  [ -e "$path" ] && fail "$path is left after removal"
done
pass
finish
