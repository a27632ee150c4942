#!/usr/bin/env bash
# Tolvane on a small tmpfs that is full: the write fails with a message that
# names the file and the cause, the file is unchanged and nothing is left.
#   disk_full_test.sh path/to/Tolvane
# Mounts the tmpfs in a private mount namespace (unshare), as root or in a
# user namespace; skips where neither is allowed.
set -u
tolvane=$1

if [ "${IN_NAMESPACE:-}" != 1 ]; then
  for how in "-m" "-rm"; do
    if unshare $how true 2>/dev/null; then
      IN_NAMESPACE=1 exec unshare $how bash "$0" "$@"
    fi
  done
  echo "skipped: cannot make a mount namespace here"
  exit 77
fi

mnt=$(mktemp -d)
trap 'umount "$mnt" 2>/dev/null; rm -rf "$mnt"' EXIT
mount -t tmpfs -o size=256k tmpfs "$mnt" || { echo "skipped: cannot mount tmpfs"; exit 77; }
file=$mnt/user.ini
printf '# keep me\n[DSN]\nKey=old\n' >"$file"
dd if=/dev/zero of="$mnt/filler" bs=1k 2>/dev/null  # until the disk is full
before=$(od -c "$file")
listing=$(ls -A "$mnt")

passed=0
failed=0
check() { if eval "$1"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $2"; fi; }

err=$(ODBCINI=$file ODBCSYSINI=$mnt "$tolvane" DSN Key "$(printf 'v%.0s' {1..900})" 2>&1 >/dev/null)
status=$?
check '[ "$status" = 1 ]' "status $status, expected 1"
check '[[ $err == "Tolvane: cannot set Key of data source \"DSN\" in $file: "*"No space left on device" ]]' \
  "message: $err"
check '[ "$(od -c "$file")" = "$before" ]' "the file changed"
check '[ "$(ls -A "$mnt")" = "$listing" ]' "files left behind: $(ls -A "$mnt")"

# With room again, the same run succeeds.
rm "$mnt/filler"
ODBCINI=$file ODBCSYSINI=$mnt "$tolvane" DSN Key new
check '[ "$(cat "$file")" = "$(printf "# keep me\n[DSN]\nKey=new")" ]' "after freeing space: $(cat "$file")"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
