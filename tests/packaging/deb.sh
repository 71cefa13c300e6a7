#!/usr/bin/env bash
# CPack builds the .deb into a scratch folder; it holds every installed file, the control fields,
# the postinst this build configured, a changelog whose newest entry is this version and the
# licence's terms as LICENSE has them.
# Usage: deb.sh BUILD_DIR VERSION POSTINST LICENSE
source "$(dirname "$0")/common.sh"
build=$1
version=$2
postinst=$3
license=$4

make_deb "$build" "$version"

contents=$(dpkg-deb --contents "$deb" | awk '{ print $NF }')
for file in "${installed_files[@]}"; do
    grep -qx "./usr/$file" <<<"$contents" || fail "the package lacks /usr/$file"
done

field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = tozelo ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)'"
[ "$(field Section)" = net ] || fail "Section is '$(field Section)'"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
depends=$(field Depends)
grep -q "libcap2-bin" <<<"$depends" || fail "Depends lacks libcap2-bin: $depends"
grep -q "libqt6widgets6" <<<"$depends" || fail "Depends lacks the Qt 6 runtime: $depends"

dpkg-deb -e "$deb" "$scratch/control"
[ -x "$scratch/control/postinst" ] || fail "the package has no executable postinst"
cmp -s "$scratch/control/postinst" "$postinst" || fail "the package's postinst is not the one this build configured"

dpkg-deb -x "$deb" "$scratch/root"
doc=$scratch/root/usr/share/doc/tozelo
zcat "$doc/changelog.gz" >"$scratch/changelog"
newest=$(dpkg-parsechangelog -l "$scratch/changelog" -S Version) || fail "dpkg-parsechangelog rejects the changelog"
[ "$newest" = "$version" ] || fail "the changelog's newest entry is '$newest'"
# Debian's copyright format: the licence's terms follow its last "License:" line, each line indented
# by one space and a blank one written " ." (lintian does not check a binary package's copyright).
terms=$(awk '/^License:/ { text = "" ; next } { text = text $0 "\n" } END { printf "%s", text }' "$doc/copyright")
[ "$terms" = "$(tail -n +5 "$license" | sed 's/^$/./; s/^/ /')" ] || fail "the copyright file's terms are not LICENSE's: $terms"
[ "$(grep -c "^License: " "$doc/copyright")" = 2 ] || fail "the copyright file must name its licence in the Files paragraph and in its own"
finish
