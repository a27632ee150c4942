#!/usr/bin/env bash
# The Windows build of Tolvane under Wine, against the real registry store
# of a throw-away Wine prefix, read back with `wine reg query`.
#
#   wine_lane.sh path/to/Tolvane.exe path/to/prefix
set -u
exe=$1
export WINEPREFIX=$2
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
work=$(mktemp -d)
trap 'wineserver -k >/dev/null 2>&1; rm -rf "$work"' EXIT

# Boot the prefix once, and keep its server up between runs.
started=$(date +%s)
wineboot -i >/dev/null 2>&1 || { echo "wineboot failed"; exit 1; }
wineserver -p >/dev/null 2>&1
echo "prefix booted in $(($(date +%s) - started)) s"

user_key='HKEY_CURRENT_USER\Software\ODBC\ODBC.INI'
machine_key='HKEY_LOCAL_MACHINE\Software\ODBC\ODBC.INI'
passed=0
failed=0

pass() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "FAIL: $*"; }
expect() {  # expect NAME ACTUAL EXPECTED
  if [ "$2" == "$3" ]; then pass; else fail "$1: got [$2], expected [$3]"; fi
}

# Runs Tolvane; leaves the status in $status, the output in $work/out and
# $work/err.
tolvane() {
  wine "$exe" "$@" >"$work/out" 2>"$work/err"
  status=$?
}

# The value of NAME under KEY, or <none>.
value_of() {
  local line
  line=$(wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | grep -F "    $2    REG_SZ") ||
    { echo "<none>"; return; }
  printf '%s' "${line#*REG_SZ    }"
}

# Every data source of both stores, as text.
snapshot() {
  { wine reg query "$user_key" /s; wine reg query "$machine_key" /s; } 2>/dev/null | tr -d '\r'
}

# --- usage: three CRLF lines, status -1, nothing else --------------------
printf 'Tolvane "Data Source Name" Keyword Value\r\nFor  example: \r\nTolvane "My DSN" AllowUnsupportedChar 1\r\n' >"$work/usage"
before=$(snapshot)
for args in 0 1 2; do
  set -- "My DSN" AllowUnsupportedChar
  tolvane "${@:1:$args}"
  expect "usage with $args arguments: status" "$status" 255
  if cmp -s "$work/out" "$work/usage"; then pass; else fail "usage with $args arguments: bytes"; od -c "$work/out" | head; fi
  expect "usage with $args arguments: error stream" "$(cat "$work/err")" ""
done
expect "usage leaves the registry alone" "$(snapshot)" "$before"

# --- a new data source lands under HKCU, exactly --------------------------
tolvane "My DSN" AllowUnsupportedChar 1
expect "new data source: status" "$status" 0
expect "new data source: output" "$(cat "$work/out" "$work/err")" ""
expect "new data source: value" "$(value_of "$user_key\\My DSN" AllowUnsupportedChar)" 1

# --- an existing user data source is updated in place ----------------------
wine reg add "$user_key\\Existing" /v Driver /d "SQL Server" /f >/dev/null 2>&1
wine reg add "$user_key\\Existing" /v Port /d 1433 /f >/dev/null 2>&1
tolvane Existing Port 5432
expect "existing user data source: status" "$status" 0
expect "existing user data source: new value" "$(value_of "$user_key\\Existing" Port)" 5432
expect "existing user data source: other value" "$(value_of "$user_key\\Existing" Driver)" "SQL Server"

# --- the same arguments twice leave one value ------------------------------
tolvane Twice Key "a value"
tolvane Twice Key "a value"
expect "twice: status" "$status" 0
expect "twice: one entry" "$(wine reg query "$user_key\\Twice" 2>/dev/null | tr -d '\r' | grep -c '    Key    REG_SZ    a value$')" 1

# --- values are kept exactly, blanks included ------------------------------
tolvane Blanks Key "  padded value	"
expect "blanks: status" "$status" 0
expect "blanks: value" "$(value_of "$user_key\\Blanks" Key)" "  padded value	"

# --- where the entry lands: user key, else machine key, else user ----------
# Wine 8.0's odbccp32 ignores the configuration mode and always writes
# HKEY_CURRENT_USER, so under Wine the machine case is checked up to the
# mode Tolvane selects (traced by Wine's odbc channel: 1 user, 2 system).
wine reg add "$machine_key\\MachineDSN" /v Driver /d x /f >/dev/null 2>&1
wine reg add "$machine_key\\BothDSN" /v Driver /d x /f >/dev/null 2>&1
wine reg add "$user_key\\BothDSN" /v Driver /d y /f >/dev/null 2>&1
for case in "MachineDSN 2" "BothDSN 1" "NewDSN 1"; do
  set -- $case
  WINEDEBUG=trace+odbc wine "$exe" "$1" Port 5 >/dev/null 2>"$work/trace"
  modes=$(grep -o 'SQLSetConfigMode [0-9]' "$work/trace" | tr '\n' ' ')
  expect "$1: configuration modes set" "$modes" "SQLSetConfigMode $2 SQLSetConfigMode 0 "
  first=$(grep -n -m1 'SQLSetConfigMode' "$work/trace" | cut -d: -f1)
  write=$(grep -n -m1 'SQLWritePrivateProfileString ' "$work/trace" | cut -d: -f1)
  if [ -n "$first" ] && [ -n "$write" ] && [ "$first" -lt "$write" ]; then pass; else fail "$1: mode set before the write"; fi
done
expect "machine data source keeps its own keywords" "$(value_of "$machine_key\\MachineDSN" Driver)" x

# --- refused arguments leave the registry untouched -------------------------
before=$(snapshot)
refused=(
  ""          K  v   "data source name"
  "A[B"       K  v   "data source name"
  "A\\B"      K  v   "data source name"
  " Lead"     K  v   "data source name"
  "Trail "    K  v   "data source name"
  "DSN"       "" v   "keyword"
  "DSN"       "K=1" v "keyword"
  "DSN"       "#K" v  "keyword"
  "DSN"       " K" v  "keyword"
  "DSN"       K  $'one\n[Evil]\nDriver=x.dll' "value"
  "DSN"       K  $'bell\a' "value"
)
for ((i = 0; i < ${#refused[@]}; i += 4)); do
  tolvane "${refused[i]}" "${refused[i + 1]}" "${refused[i + 2]}"
  what="refused ${refused[i + 3]} [${refused[i]}|${refused[i + 1]}]"
  expect "$what: status" "$status" 2
  expect "$what: output" "$(cat "$work/out")" ""
  expect "$what: one message line" "$(tr -d '\r' <"$work/err" | grep -c "^Tolvane: invalid ${refused[i + 3]}")" 1
done
expect "refusals leave the registry alone" "$(snapshot)" "$before"

# --- an installer failure is status 1 with a message -----------------------
long=$(printf 's%.0s' {1..300})  # longer than a registry key name may be
tolvane "$long" K v
expect "installer failure: status" "$status" 1
if grep -q "^Tolvane: cannot set K of data source \"$long\" in HKEY_CURRENT_USER.*: the registry write failed" "$work/err"; then pass; else fail "installer failure: message: $(cat "$work/err")"; fi
expect "installer failure leaves the registry alone" "$(snapshot)" "$before"

echo "wine lane took $(($(date +%s) - started)) s"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
