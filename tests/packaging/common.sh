# Helpers shared by the packaging tests; sourced.
set -euo pipefail
failures=0
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# The files a desktop install of Tozelo consists of, relative to the prefix.
installed_files=(
    bin/tozelo
    bin/tozelo-cli
    share/applications/tozelo.desktop
    share/icons/hicolor/48x48/apps/tozelo.png
    share/icons/hicolor/16x16/apps/tozelo.png
    share/metainfo/net.zarvo.tozelo.metainfo.xml
)

finish() {
    if [ "$failures" -ne 0 ]; then
        echo "$failures check(s) failed"
        exit 1
    fi
    echo "all checks passed"
}
