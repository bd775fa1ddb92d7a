#!/bin/sh
# Renders a manual page as plain text with Windows line ends, for a system
# without a manual-page reader.
#
#   render-page.sh GROFF PAGE OUTPUT
set -eu
"$1" -man -Tascii -P-cbou "$2" | awk '{ printf "%s\r\n", $0 }' > "$3"
