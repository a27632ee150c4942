#!/bin/sh
# The manual page renders without a single groff warning.
#   man_page_lint.sh path/to/Tolvane.1
warnings=$(groff -ww -z -man "$1" 2>&1)
if [ -n "$warnings" ]; then
  echo "$warnings"
  exit 1
fi
