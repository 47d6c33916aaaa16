#!/usr/bin/env bash
# End-to-end throughput of the zel program on one generated event list with the 28 default variables, in three
# configurations: optional modules off; particle identification (algorithm 103); identification, filter and the
# built-in histograms. For each: clusters per second, the ratio of zel's wall time to `wc -l` on the same file,
# and the peak resident memory; for PID 103 also its throughput as a share of that with modules off. The extended
# event list is written as in a normal run; set EXTENDED=false to leave it out. Each time is the best of REPEAT runs
# (3). Usage: bench/zel_throughput.sh [CLUSTERS] [BUILD_DIR]
set -euo pipefail
clusters="${1:-2000000}"
build="${2:-build}"
extended="${EXTENDED:-true}"
bin="$(cd "$build/bin" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

"$bin/zel_gen_elist" --clusters "$clusters" --seed 11 --rate 20000 --out "$work/bench.elist"
printf '[E]\nall = 0, 1e12\n[Size]\nall = 1, 1e9\n' > "$work/filter.ini"

repeat="${REPEAT:-3}"
runs=0
now() { date +%s.%N; }
best() { if [ -z "$1" ] || [ "$(echo "$2 < $1" | bc -l)" = 1 ]; then echo "$2"; else echo "$1"; fi; }
run() {  # name, extra parameter lines
    local name="$1"; shift
    {
        echo "FileInPath = \"$work/\""; echo "FileInName = \"bench.elist\""
        echo "FileOutPath = \"$work/@OUT@/\""; echo "LogPath = \"$work/@OUT@/\""
        echo "DoPrint = false"; echo "DoExportGraphics = false"; echo "DoCheckPrereq = false"
        echo "DoCreateElistExt = $extended"
        echo "DoCoinc = false"; echo "DoDirection = false"; echo "DoCompton = false"; echo "DoFrame = false"
        echo "DoSigVec = false"; echo "DoRadFieldRecog = false"; echo "DoMask = false"
        for line in "$@"; do echo "$line"; done
    } > "$work/bench.param"
    # The best of REPEAT runs of each, so that a busy moment of a shared machine does not count.
    local wc_time="" zel_time="" t0 t1 t2 i
    for ((i = 0; i < repeat; i++)); do
        # Every run writes into a directory of its own, removed only at the end: files created just after
        # many were deleted in the same place cost the file system far more than files of a first run.
        runs=$((runs + 1))
        sed "s|@OUT@|out$runs|g" "$work/bench.param" > "$work/run.param"
        t0=$(now); wc -l "$work/bench.elist" >/dev/null; t1=$(now)
        /usr/bin/time -f "%M" -o "$work/rss" "$bin/zel" "$work/run.param" >/dev/null
        t2=$(now)
        wc_time=$(best "$wc_time" "$(echo "$t1 - $t0" | bc -l)")
        zel_time=$(best "$zel_time" "$(echo "$t2 - $t1" | bc -l)")
        rm -f "$work/out$runs/File/"*.korelist  # the large extended event list
    done
    printf '%-34s %10.0f clusters/s   %6.2f s   %5.1f x wc -l   %5d MiB\n' "$name" \
        "$(echo "$clusters / $zel_time" | bc -l)" "$zel_time" "$(echo "$zel_time / $wc_time" | bc -l)" \
        "$(echo "$(cat "$work/rss") / 1024" | bc)"
    last_time="$zel_time"
}

echo "zel on $clusters clusters (extended event list: $extended)"
run "modules off" "DoPID = false" "DoFilter = false"
off_time="$last_time"
run "PID 103" "PIDAlg = 103" "DoFilter = false" "HistName = \"\""
printf '%-34s %10.0f %% of the throughput with modules off\n' "PID 103" "$(echo "100 * $off_time / $last_time" | bc -l)"
run "PID 103 + filter + histograms" "PIDAlg = 103" "FilterPath = \"$work/\"" "FilterName = \"filter.ini\""
