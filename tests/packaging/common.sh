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
    libexec/tozelo/tozelo-icmp
    share/applications/tozelo.desktop
    share/icons/hicolor/48x48/apps/tozelo.png
    share/icons/hicolor/16x16/apps/tozelo.png
    share/metainfo/net.zarvo.tozelo.metainfo.xml
    share/man/man1/tozelo.1.gz
    share/man/man1/tozelo-cli.1.gz
    share/doc/tozelo/copyright
    share/doc/tozelo/changelog.gz
    share/bash-completion/completions/tozelo-cli
)

# Packs the build folder $1 with CPack into the scratch folder and sets $deb to the package of version $2.
make_deb() {
    (cd "$1" && cpack --config CPackConfig.cmake -G DEB -B "$scratch/out" >"$scratch/cpack.log" 2>&1) || {
        cat "$scratch/cpack.log"
        fail "cpack failed"
        finish
    }
    local debs=("$scratch"/out/tozelo_"$2"_*.deb)
    deb=${debs[0]}
    [ -f "$deb" ] || {
        fail "no tozelo_$2_*.deb in $(ls "$scratch/out")"
        finish
    }
}

finish() {
    if [ "$failures" -ne 0 ]; then
        echo "$failures check(s) failed"
        exit 1
    fi
    echo "all checks passed"
}
