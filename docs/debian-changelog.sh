#!/bin/sh
# Writes CHANGELOG.md in the form of a Debian changelog, the one Debian
# wants in /usr/share/doc/PACKAGE/changelog.gz of a native package:
#
#   PACKAGE (VERSION) unstable; urgency=medium
#
#     * change
#
#    -- MAINTAINER  RFC 2822 date
#
#   debian-changelog.sh CHANGELOG.md PACKAGE "MAINTAINER <address>"
set -eu
changelog=$1
package=$2
maintainer=$3

# Each "## VERSION - YYYY-MM-DD" heading opens an entry; "- " items become
# "* " items, other text lines stay as they are, indented by two. An entry
# is stamped at noon of its day less one minute for each entry above it, so
# that releases of one day stand in order.
awk -v package="$package" -v maintainer="$maintainer" '
  function close_entry() {
    if (version != "") {
      printf "\n -- %s  %s\n", maintainer, stamp
      first = 0
    }
  }
  /^## / {
    close_entry()
    version = $2
    cmd = "date -u -R -d \"" $4 " 12:00:00 UTC - " entries " minutes\""
    entries++
    cmd | getline stamp
    close(cmd)
    if (!first) printf "\n"
    printf "%s (%s) unstable; urgency=medium\n\n", package, version
    blank = 0
    next
  }
  version == "" { next }
  /^$/ { blank = 1; next }
  {
    line = $0
    if (line ~ /^- /) line = "* " substr(line, 3)
    if (blank && printed) printf "\n"
    printf "  %s\n", line
    blank = 0
    printed = 1
  }
  BEGIN { first = 1; entries = 0 }
  END { close_entry() }
' "$changelog"
