#!/usr/bin/env bash
# Runs zel on the bundled example (built by scripts/setup.sh) and shows where the results are.
set -euo pipefail
cd "$(dirname "$0")/.."
./build/bin/zel examples/elist/example.param
echo
echo "Results: out/example-elist/File/SamplingList.txt (and .json), extended event list out/example-elist/File/EventListExt.korelist"
