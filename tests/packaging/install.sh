#!/usr/bin/env bash
# cmake --install into a scratch DESTDIR: every file in place, the programs run and tell their version
# without a display, the command line finds the library of its event-loop commands and its helper,
# the manual pages render cleanly, the desktop entry and the AppStream metadata validate and point
# at each other, the icons are RGBA PNGs of their size.
# Usage: install.sh BUILD_DIR VERSION LICENSE
source "$(dirname "$0")/common.sh"
build=$1
version=$2
license=$3
root=$scratch/root
prefix=$root/usr

DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null

for file in "${installed_files[@]}"; do
    [ -f "$prefix/$file" ] || fail "$file is not installed"
done
for program in bin/tozelo bin/tozelo-cli libexec/tozelo/tozelo-icmp; do
    [ -x "$prefix/$program" ] || fail "$program is not executable"
done
# ping, scan and reping live in a library of the installed program's own, which it finds: the usage
# error comes from there.
if "$prefix/bin/tozelo-cli" ping >"$scratch/out" 2>&1; then
    fail "tozelo-cli ping without a host succeeds"
elif ! grep -q "ping needs exactly one HOST" "$scratch/out"; then
    fail "the installed tozelo-cli does not reach its ping command: $(cat "$scratch/out")"
fi
# In a network namespace of its own, where no group may open ICMP datagram sockets (and loopback
# is the only link), the installed command line pings through the installed helper.
if [ "$(id -u)" -eq 0 ] && command -v unshare >/dev/null && command -v ip >/dev/null; then
    # shellcheck disable=SC2016 # expanded by the inner shell
    unshare -n sh -c 'ip link set lo up && "$1" ping 127.0.0.1 --timeout 2000' sh "$prefix/bin/tozelo-cli" \
        >"$scratch/out" 2>&1 || fail "the installed tozelo-cli does not ping through its helper: $(cat "$scratch/out")"
fi
for program in tozelo tozelo-cli; do
    for option in --help --version; do
        env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/$program" $option >"$scratch/out" 2>&1 ||
            fail "$program $option fails without a display: $(cat "$scratch/out")"
    done
    [ "$(head -n 1 "$scratch/out")" = "$program $version" ] || fail "$program --version says '$(head -n 1 "$scratch/out")'"

    page=$prefix/share/man/man1/$program.1.gz
    [ -f "$page" ] || continue
    warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >"$scratch/page")
    [ -z "$warnings" ] || fail "man warns about $program.1: $warnings"
    for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" EXAMPLES; do
        grep -qx "$section" "$scratch/page" || fail "$program.1 has no $section section"
    done
    grep -q "^$program $version " "$scratch/page" || fail "$program.1 is not the page of version $version"
done

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
    read -r spdx _ <"$license"
    grep -q "<project_license>$spdx</project_license>" "$metainfo" || fail "the metainfo's licence is not LICENSE's $spdx"
fi
finish
