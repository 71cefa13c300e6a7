#!/usr/bin/env bash
# Installs the Debian packages that building, testing, packaging and running need; quick when all are
# present. With the argument "screenshot" it adds what scripts/screenshot.sh needs (picture tools),
# with "bench" the reference sweepers and link scanners that scripts/bench.sh times the sweep against.
set -euo pipefail
packages=(
    build-essential cmake ninja-build pkg-config ccache clang-format
    qt6-base-dev qt6-base-dev-tools libgl-dev libxcb1-dev libsqlite3-dev
    iproute2 iputils-ping nftables libcap2-bin procps
    # ndiff reads the sweep's XML in a test: proof that the tools people already use take it
    ndiff
    # the makers of hardware addresses, which the sweep names for the hosts of a link
    ieee-data
    fonts-liberation fonts-urw-base35
    # Qt's own texts (standard dialogs' buttons) in the window's language
    qt6-translations-l10n
    dpkg-dev desktop-file-utils appstream help2man lintian man-db groff-base bash-completion
    # the tests of the windows under a real window manager and tray host (tests/desktop)
    xvfb openbox trayer x11-utils xdotool
    # a session bus of the tests' own, where the window's desktop notices are heard
    dbus-daemon
)
case "${1:-}" in
screenshot) packages+=(x11-apps netpbm) ;;
bench) packages+=(fping masscan zmap arp-scan nmap) ;;
esac
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages: ${missing[*]}; run as root (or: sudo apt-get install ${missing[*]})" >&2
    exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get -o DPkg::Lock::Timeout=300 update -qq
apt-get -o DPkg::Lock::Timeout=300 install -y -qq --no-install-recommends "${missing[@]}"
