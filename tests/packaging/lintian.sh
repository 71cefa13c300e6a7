#!/usr/bin/env bash
# Debian's package checker finds no error and no warning in the .deb. Its notes (I:) are shown, not
# counted. Skipped (77) where lintian is not installed.
# Usage: lintian.sh BUILD_DIR VERSION
source "$(dirname "$0")/common.sh"
command -v lintian >/dev/null || {
    echo "lintian is not installed (scripts/install-deps.sh brings it)"
    exit 77
}
make_deb "$1" "$2"

lintian --display-info --fail-on error,warning "$deb" || fail "lintian reports errors or warnings (status $?)"
finish
