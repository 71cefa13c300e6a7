#!/bin/sh
# Writes a program's manual page, compressed, from its --help and --version. The headings of --help
# ("Commands:", "Exit status:") become sections of the page, the way "Examples:" does.
# Usage: manpage.sh PROGRAM WHATIS EPOCH OUTPUT.gz
set -eu
page=${4%.gz}
SOURCE_DATE_EPOCH=$3 help2man --no-info --section 1 --name "$2" --output "$page" "$1"
sed -i 's/^\.SS "\(.*\):"$/.SH "\U\1"/' "$page"
gzip -9 -n -f "$page"
