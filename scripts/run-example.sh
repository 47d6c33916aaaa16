#!/usr/bin/env bash
# Runs zel end to end on the examples (after scripts/setup.sh has built it):
#  1. generates a small raw Timepix3 file, which zel hands to the clusterer and then processes;
#  2. processes the bundled event list.
set -euo pipefail
cd "$(dirname "$0")/.."
mkdir -p out/example-raw/input
./build/bin/zel_gen_raw --format t3pa --clusters 2000 --rate 2000 --seed 5 --out out/example-raw/input/example.t3pa
./build/bin/zel examples/raw/example.param
./build/bin/zel examples/elist/example.param
echo
echo "Results: out/example-raw/File/SamplingList.txt and out/example-elist/File/SamplingList.txt (each with .json),"
echo "         the extended event lists EventListExt.korelist beside them, and the logs LogFile.txt one level up."
