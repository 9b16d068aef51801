#!/usr/bin/env bash
# Builds Tarvik Duplicate Finder and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DTARVIK_BUILD_TESTS=OFF -DTARVIK_BUILD_BENCH=OFF
cmake --build build -j"$(nproc)" --target tarvik
exec build/app/tarvik
