#!/usr/bin/env bash
# End-to-end throughput of the zel program on one generated event list with the 28 default variables, in three
# configurations: optional modules off; particle identification (algorithm 103); identification, filter and the
# built-in histograms. For each: clusters per second, the ratio of zel's wall time to `wc -l` on the same file,
# and the peak resident memory. The extended event list is written as in a normal run; set EXTENDED=false to leave
# it out. Usage: bench/zel_throughput.sh [CLUSTERS] [BUILD_DIR]
set -euo pipefail
clusters="${1:-2000000}"
build="${2:-build}"
extended="${EXTENDED:-true}"
bin="$(cd "$build/bin" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

"$bin/zel_gen_elist" --clusters "$clusters" --seed 11 --rate 20000 --out "$work/bench.elist"
printf '[E]\nall = 0, 1e12\n[Size]\nall = 1, 1e9\n' > "$work/filter.ini"

now() { date +%s.%N; }
run() {  # name, extra parameter lines
    local name="$1"; shift
    {
        echo "FileInPath = \"$work/\""; echo "FileInName = \"bench.elist\""
        echo "FileOutPath = \"$work/out/\""; echo "LogPath = \"$work/out/\""
        echo "DoPrint = false"; echo "DoExportGraphics = false"; echo "DoCheckPrereq = false"
        echo "DoCreateElistExt = $extended"
        echo "DoCoinc = false"; echo "DoDirection = false"; echo "DoCompton = false"; echo "DoFrame = false"
        echo "DoSigVec = false"; echo "DoRadFieldRecog = false"; echo "DoMask = false"
        for line in "$@"; do echo "$line"; done
    } > "$work/bench.param"
    local t0 t1 t2
    t0=$(now); wc -l "$work/bench.elist" >/dev/null; t1=$(now)
    /usr/bin/time -f "%M" -o "$work/rss" "$bin/zel" "$work/bench.param" >/dev/null
    t2=$(now)
    local wc_time zel_time
    wc_time=$(echo "$t1 - $t0" | bc -l); zel_time=$(echo "$t2 - $t1" | bc -l)
    printf '%-34s %10.0f clusters/s   %6.2f s   %5.1f x wc -l   %5d MiB\n' "$name" \
        "$(echo "$clusters / $zel_time" | bc -l)" "$zel_time" "$(echo "$zel_time / $wc_time" | bc -l)" \
        "$(echo "$(cat "$work/rss") / 1024" | bc)"
    rm -rf "$work/out"
}

echo "zel on $clusters clusters (extended event list: $extended)"
run "modules off" "DoPID = false" "DoFilter = false"
run "PID 103" "PIDAlg = 103" "DoFilter = false" "HistName = \"\""
run "PID 103 + filter + histograms" "PIDAlg = 103" "FilterPath = \"$work/\"" "FilterName = \"filter.ini\""
