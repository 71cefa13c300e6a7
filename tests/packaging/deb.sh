#!/usr/bin/env bash
# CPack builds the .deb into a scratch folder; it holds every installed file, the control fields and
# the postinst this build configured.
# Usage: deb.sh BUILD_DIR VERSION POSTINST
source "$(dirname "$0")/common.sh"
build=$1
version=$2
postinst=$3

(cd "$build" && cpack --config CPackConfig.cmake -G DEB -B "$scratch/out" >"$scratch/cpack.log" 2>&1) || {
    cat "$scratch/cpack.log"
    fail "cpack failed"
    finish
}
debs=("$scratch"/out/tozelo_"$version"_*.deb)
deb=${debs[0]}
[ -f "$deb" ] || { fail "no tozelo_${version}_*.deb in $(ls "$scratch/out")"; finish; }

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
finish
