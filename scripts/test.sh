#!/usr/bin/env bash
# Builds Tarvik Duplicate Finder and runs every test twice: once in a Release build with
# warnings as errors, once under AddressSanitizer and UndefinedBehaviorSanitizer. Between the
# two, the tree and window tests run again in a build without Qt's private view items, so that
# the tree's fallback keeps working. Fails when a test fails, when the sanitizers report
# anything, or when no test ran.
set -euo pipefail
cd "$(dirname "$0")/.."

# mkfs.btrfs: a test shares storage on a Btrfs image it mounts when it runs as root.
scripts/deps.sh btrfs-progs

jobs="$(nproc)"
run_suite() {
    local preset="$1"
    cmake --preset "$preset"
    cmake --build --preset "$preset" -j"$jobs"
    ctest --preset "$preset"
}

run_suite ci
run_suite qt-layout
if [ "${TARVIK_SKIP_SANITIZERS:-0}" != "1" ]; then
    run_suite sanitize
fi
scripts/check-package.sh # the .deb: lintian, validators, an install into a bare Debian 12
