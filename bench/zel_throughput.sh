#!/usr/bin/env bash
# End-to-end throughput of the zel program on a generated event list with the 28 default variables.
# Prints clusters per second, the ratio of zel's wall time to `wc -l` on the same file, and zel's peak memory.
# Usage: bench/zel_throughput.sh [CLUSTERS] [BUILD_DIR] [EXTRA PARAMETER LINES...]
set -euo pipefail
clusters="${1:-2000000}"
build="${2:-build}"
shift $(( $# > 2 ? 2 : $# )) || true
bin="$(cd "$build/bin" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

"$bin/zel_gen_elist" --clusters "$clusters" --seed 11 --rate 20000 --out "$work/bench.elist"
{
    echo "FileInPath = \"$work/\""
    echo "FileInName = \"bench.elist\""
    echo "FileOutPath = \"$work/out/\""
    echo "LogPath = \"$work/out/\""
    echo "DoPrint = false"
    echo "DoPID = false"
    echo "DoFilter = false"
    echo "DoExportGraphics = false"
    echo "DoCheckPrereq = false"
    for line in "$@"; do echo "$line"; done
} > "$work/bench.param"

now() { date +%s.%N; }
t0=$(now); wc -l "$work/bench.elist" >/dev/null; t1=$(now)
/usr/bin/time -f "%M" -o "$work/rss" "$bin/zel" "$work/bench.param" >/dev/null
t2=$(now)
wc_time=$(echo "$t1 - $t0" | bc -l)
zel_time=$(echo "$t2 - $t1" | bc -l)
rss_mb=$(echo "$(cat "$work/rss") / 1024" | bc)
printf 'clusters: %d\nzel wall time: %.3f s\nclusters per second: %.0f\nwc -l wall time: %.3f s\nratio zel / wc -l: %.1f\npeak resident memory: %d MiB\n' \
    "$clusters" "$zel_time" "$(echo "$clusters / $zel_time" | bc -l)" "$wc_time" "$(echo "$zel_time / $wc_time" | bc -l)" "$rss_mb"
