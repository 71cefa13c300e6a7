#!/usr/bin/env bash
# cmake --install into a scratch DESTDIR: every file in place, the programs run, the desktop entry
# and the AppStream metadata validate and point at each other, the icons are RGBA PNGs of their size.
# Usage: install.sh BUILD_DIR VERSION
source "$(dirname "$0")/common.sh"
build=$1
version=$2
root=$scratch/root
prefix=$root/usr

DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null

for file in "${installed_files[@]}"; do
    [ -f "$prefix/$file" ] || fail "$file is not installed"
done
for program in tozelo tozelo-cli; do
    [ -x "$prefix/bin/$program" ] || fail "bin/$program is not executable"
done
"$prefix/bin/tozelo-cli" --help >/dev/null || fail "the installed tozelo-cli does not run"

# Width, height, bit depth and colour type from the PNG's header chunk.
png_header() {
    od -An -tu1 -j16 -N10 "$1" | awk '{ printf "%d %d %d %d\n", $1*16777216 + $2*65536 + $3*256 + $4,
                                                             $5*16777216 + $6*65536 + $7*256 + $8, $9, $10 }'
}
for size in 48 16; do
    icon=$prefix/share/icons/hicolor/${size}x${size}/apps/tozelo.png
    [ -f "$icon" ] || continue
    header=$(png_header "$icon")
    [ "$header" = "$size $size 8 6" ] || fail "${size}x${size} icon: width height depth type are '$header'"
done

desktop=$prefix/share/applications/tozelo.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects tozelo.desktop"
entry() { sed -n "s/^$1=//p" "$desktop"; }
[ -x "$prefix/bin/$(entry Exec | cut -d' ' -f1)" ] || fail "Exec names no installed program"
[ -f "$prefix/share/icons/hicolor/48x48/apps/$(entry Icon).png" ] || fail "Icon names no installed icon"
[ "$(entry Terminal)" = false ] || fail "the window does not need a terminal"

metainfo=$prefix/share/metainfo/net.zarvo.tozelo.metainfo.xml
if [ -f "$metainfo" ]; then
    appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects the metainfo"
    grep -q '<id>net.zarvo.tozelo</id>' "$metainfo" || fail "the metainfo's id does not match its file name"
    grep -q '<launchable type="desktop-id">tozelo.desktop</launchable>' "$metainfo" ||
        fail "the metainfo does not launch tozelo.desktop"
    grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo has no release $version"
    grep -q '<image>https://' "$metainfo" || fail "the metainfo has no screenshot"
fi
finish
