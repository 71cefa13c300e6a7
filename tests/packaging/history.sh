#!/usr/bin/env bash
# The change history's converter on a history of two releases: dpkg reads both entries of the Debian
# changelog, the metadata's releases carry escaped notes, and a history that does not name the
# version being built, or holds a line of no known form, stops the build.
# Usage: history.sh CONVERTER
source "$(dirname "$0")/common.sh"
convert=$1
maintainer="Tozelo maintainers <maintainers@tozelo.example>"
cat >"$scratch/history.md" <<'TEXT'
# Changes

## 1.2 (2027-03-01)

- Sweeps <faster> & quieter, with a note that goes on
  in a second line.

## 1.1 (2026-12-08)

- First release.
TEXT

"$convert" debian "$scratch/history.md" tozelo 1.2 "$maintainer" >"$scratch/changelog" || fail "debian failed"
entries=$(dpkg-parsechangelog -l "$scratch/changelog" --all --format rfc822 | sed -n 's/^Version: //p' | tr '\n' ' ')
[ "$entries" = "1.2 1.1 " ] || fail "dpkg reads the entries '$entries'"
[ "$(dpkg-parsechangelog -l "$scratch/changelog" -S Date)" = "Mon, 01 Mar 2027 00:00:00 +0000" ] ||
    fail "the newest date is '$(dpkg-parsechangelog -l "$scratch/changelog" -S Date)'"
grep -qx "    in a second line." "$scratch/changelog" || fail "a note's second line is lost"

releases=$("$convert" appstream "$scratch/history.md" tozelo 1.2 "$maintainer") || fail "appstream failed"
grep -q '<release version="1.2" date="2027-03-01">' <<<"$releases" || fail "no release 1.2: $releases"
grep -q '<release version="1.1" date="2026-12-08">' <<<"$releases" || fail "no release 1.1: $releases"
grep -qF '<li>Sweeps &lt;faster&gt; &amp; quieter, with a note that goes on in a second line.</li>' <<<"$releases" ||
    fail "the note is not one escaped item: $releases"

[ "$("$convert" epoch "$scratch/history.md" tozelo 1.2 "$maintainer")" = 1803859200 ] || fail "wrong epoch"

refused() {
    if "$convert" debian "$scratch/history.md" tozelo "$1" "$maintainer" >/dev/null 2>&1; then fail "$2"; fi
}
refused 1.3 "a history without the version being built is accepted"
echo "Sweeps faster." >>"$scratch/history.md"
refused 1.2 "a line that is neither a release, a note nor blank is accepted"
finish
