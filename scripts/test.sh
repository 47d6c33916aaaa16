#!/usr/bin/env bash
# Builds zel with its tests and runs them all. BUILD_DIR and ZEL_SANITIZE (ON/OFF) choose the variant.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
build="${BUILD_DIR:-build}"
sanitize="${ZEL_SANITIZE:-OFF}"
type="Release"; [ "$sanitize" = "ON" ] && type="Debug"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="$type" -DZEL_SANITIZE="$sanitize" >/dev/null
cmake --build "$build"
cd "$build"
ctest --output-on-failure -j2
