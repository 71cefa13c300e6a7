#!/bin/sh
# Turns the change history (CHANGELOG.md) into the package's Debian changelog, the releases of the
# AppStream metadata, or the time of the newest release (seconds since 1970, for reproducible dates).
# The newest release must be the version being built, so the three can never disagree.
# Usage: history.sh debian|appstream|epoch FILE PACKAGE VERSION MAINTAINER
set -eu
format=$1
file=$2
package=$3
version=$4
maintainer=$5
export LC_ALL=C

newest=$(sed -n 's/^## \([^ ]*\) .*/\1/p' "$file" | head -n 1)
if [ "$newest" != "$version" ]; then
    echo "$file: the newest release is '$newest' but the build is $version; add a release $version" >&2
    exit 1
fi
if [ "$format" = epoch ]; then
    date -u -d "$(sed -n 's/^## [^ ]* (\(.*\))$/\1/p' "$file" | head -n 1)" +%s
    exit 0
fi

awk -v format="$format" -v package="$package" -v maintainer="$maintainer" -v file="$file" '
function fail(why) { printf "%s:%d: %s\n", file, NR, why > "/dev/stderr"; failed = 1; exit 1 }
function xml(text) { gsub(/&/, "\\&amp;", text); gsub(/</, "\\&lt;", text); gsub(/>/, "\\&gt;", text); return text }
function rfc2822(day,    command, stamp) {
    command = "date -u -d " day " \"+%a, %d %b %Y %H:%M:%S +0000\""
    if ((command | getline stamp) <= 0) fail("no date " day)
    close(command)
    return stamp
}
function endItem() {
    if (item != "" && format == "appstream") print "          <li>" xml(item) "</li>"
    item = ""
}
function endRelease() {
    endItem()
    if (release == "") return
    if (!items) fail("release " release " lists no change")
    if (format == "debian") print "\n -- " maintainer "  " rfc2822(released)
    else print "        </ul>\n      </description>\n    </release>"
    release = ""
}
/^## / {
    endRelease()
    if ($0 !~ /^## [0-9][0-9A-Za-z.+~-]* \([0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]\)$/)
        fail("a release is \"## VERSION (YYYY-MM-DD)\"")
    release = $2
    released = substr($3, 2, 10)
    items = 0
    if (format == "debian") print (printed ? "\n" : "") package " (" release ") unstable; urgency=medium\n"
    else print "    <release version=\"" release "\" date=\"" released "\">\n      <description>\n        <ul>"
    printed = 1
    next
}
release == "" { next }
/^- / {
    endItem()
    items++
    item = substr($0, 3)
    if (format == "debian") print "  * " item
    next
}
/^  [^ ]/ && item != "" {
    item = item " " substr($0, 3)
    if (format == "debian") print "    " substr($0, 3)
    next
}
/^$/ { endItem(); next }
{ fail("a change starts with \"- \" and goes on in lines indented by two spaces") }
END { if (!failed) endRelease() }
' "$file"
