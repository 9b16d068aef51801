#!/usr/bin/env bash
# Makes the Debian package and checks it as a user's system meets it: lintian finds no error,
# the desktop entry and the AppStream metadata validate, and (as root) it installs into a
# throw-away Debian 12 and removes cleanly. TARVIK_SKIP_PACKAGE=1 skips all of it.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${TARVIK_SKIP_PACKAGE:-0}" = 1 ]; then
    echo "package check skipped (TARVIK_SKIP_PACKAGE=1)"
    exit 0
fi
SECONDS=0
scripts/deps.sh lintian desktop-file-utils appstream
scripts/package.sh
deb="$(ls build-package/tarvik_*.deb)"

# Errors fail; the warnings left are printed for whoever reads the log.
lintian --fail-on error --display-info "$deb"

tree="$(mktemp -d)"
trap 'rm -rf "$tree"' EXIT
dpkg-deb -x "$deb" "$tree"
desktop-file-validate "$tree/usr/share/applications/tarvik.desktop"
appstreamcli validate-tree --no-net "$tree"

scripts/check-package-install.sh "$deb"
echo "package check passed in $SECONDS s: $deb"
