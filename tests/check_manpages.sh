#!/bin/sh
# Renders each manual page given and fails on any warning or error.
set -eu
status=0
for page in "$@"; do
  warnings=$(groff -ww -man -z "$page" 2>&1) || status=1
  if [ -n "$warnings" ]; then
    printf '%s:\n%s\n' "$page" "$warnings"
    status=1
  fi
  if command -v man >/dev/null 2>&1; then
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null) || status=1
    if [ -n "$warnings" ]; then
      printf '%s (man):\n%s\n' "$page" "$warnings"
      status=1
    fi
  fi
  grep -q '@PROJECT_VERSION@' "$page" && { echo "$page: version not filled in"; status=1; }
done
[ "$status" -eq 0 ] && echo "$# pages render without warnings"
exit "$status"
