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
export DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CXXFLAGS_MAINT_STRIP="-g -O2" CFLAGS="" CXXFLAGS LDFLAGS CPPFLAGS
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
CPPFLAGS=""
# A fresh configuration each time: the flags above are read only when the cache is made.
rm -rf "$build/CMakeCache.txt" "$build/CMakeFiles" "$build"/tarvik_*.deb
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTARVIK_BUILD_TESTS=OFF \
    -DTARVIK_BUILD_BENCH=OFF -DTARVIK_DEBIAN_PACKAGE=ON
cmake --build "$build" -j"$(nproc)"
(cd "$build" && cpack -G DEB)
ls "$build"/tarvik_*.deb
