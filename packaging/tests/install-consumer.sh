#!/usr/bin/env bash
# Installs the build tree into a scratch prefix, then builds a small project against it twice: through
# find_package(zel) and through pkg-config. Both programs must run.
#   install-consumer.sh BUILD_DIR CONSUMER_SOURCE_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source_dir=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null
test -x "$prefix/bin/zel"
"$prefix/bin/zel" --version
test -f "$prefix/include/zel/ZEL_API.h"

# Raw data from the installed tree: the library finds the installed clusterer by itself.
mkdir -p "$scratch/raw"
"$build/bin/zel_gen_raw" --format t3pa --clusters 200 --rate 2000 --seed 5 --out "$scratch/raw/run.t3pa" >/dev/null
printf 'FileInPath = "%s/raw/"\nFileInName = "run.t3pa"\nFileOutPath = "%s/raw/out/"\nLogPath = "%s/raw/out/"\nIsEnergyCalibrated = true\nDoPID = false\nDoFilter = false\nDoExportGraphics = false\nDoPrint = false\n' \
    "$scratch" "$scratch" "$scratch" >"$scratch/raw/run.param"
(cd "$scratch/raw" && "$prefix/bin/zel" run.param >/dev/null)
grep -q '"CountParticle_Sum_cnt":200,' "$scratch/raw/out/File/SamplingList.json"

cmake -S "$source_dir" -B "$scratch/consumer" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$scratch/consumer" >/dev/null
"$scratch/consumer/consumer"

pc=$(find "$prefix" -name zel.pc)
libdir=$(PKG_CONFIG_PATH=$(dirname "$pc") pkg-config --variable=libdir zel)
# shellcheck disable=SC2046
g++ -std=c++17 -o "$scratch/consumer-pc" "$source_dir/main.cpp" \
    $(PKG_CONFIG_PATH=$(dirname "$pc") pkg-config --cflags --libs zel)
LD_LIBRARY_PATH=$libdir "$scratch/consumer-pc"
echo "install and consumer: OK"
