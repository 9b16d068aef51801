#!/usr/bin/env bash
# Builds the Release configuration and makes the Debian package of it:
#   scripts/package.sh          -> build-package/tarvik_<version>_<arch>.deb
#   sudo apt install ./build-package/tarvik_*.deb
# Compiler flags are Debian's own (dpkg-buildflags: hardening, fortify, relro), the binaries
# are stripped and the dependencies come from the libraries actually linked.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh dpkg-dev file

build=build-package
flags() {
    DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CXXFLAGS_MAINT_STRIP="-g -O2" \
        dpkg-buildflags --get "$1"
}
rm -f "$build"/tarvik_*.deb
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTARVIK_BUILD_TESTS=OFF \
    -DTARVIK_BUILD_BENCH=OFF -DTARVIK_DEBIAN_PACKAGE=ON \
    -DCMAKE_CXX_FLAGS="$(flags CXXFLAGS) $(flags CPPFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)"
cmake --build "$build" -j"$(nproc)"
(cd "$build" && cpack -G DEB)
ls "$build"/tarvik_*.deb
