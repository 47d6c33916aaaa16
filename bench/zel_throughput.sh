#!/usr/bin/env bash
# End-to-end throughput of the zel program on one generated event list with the 28 default variables, in three
# configurations: optional modules off; particle identification (algorithm 103); identification, filter and the
# built-in histograms. For each: clusters per second, the ratio of zel's wall time to `wc -l` on the same file,
# and the peak resident memory; for PID 103 also its throughput as a share of that with modules off. The extended
# event list is written as in a normal run; set EXTENDED=false to leave it out. Each time is the best of REPEAT runs
# (3), the configurations taking turns. Usage: bench/zel_throughput.sh [CLUSTERS] [BUILD_DIR]
# The list and the outputs go into memory (/dev/shm) when it has room and TMPDIR does not say otherwise: a disk file
# system's own state (on some, creating files right after many were deleted is slow) would otherwise weigh on the
# runs that write many files.
set -euo pipefail
clusters="${1:-2000000}"
build="${2:-build}"
extended="${EXTENDED:-true}"
bin="$(cd "$build/bin" && pwd)"
base="${TMPDIR:-}"
if [ -z "$base" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
    need_kib=$(( clusters / 1000 * 400 + 1048576 ))  # the list, the extended lists of a run, the histogram files
    free_kib=$(df -Pk /dev/shm | awk 'NR == 2 {print $4}')
    if [ "${free_kib:-0}" -gt "$need_kib" ]; then base=/dev/shm; fi
fi
work="$(mktemp -d ${base:+-p "$base"})"
trap 'rm -rf "$work"' EXIT
echo "working in $work"

"$bin/zel_gen_elist" --clusters "$clusters" --seed 11 --rate 20000 --out "$work/bench.elist"
printf '[E]\nall = 0, 1e12\n[Size]\nall = 1, 1e9\n' > "$work/filter.ini"

repeat="${REPEAT:-3}"
names=("modules off" "PID 103" "PID 103 + filter + histograms")
settings=("DoPID = false|DoFilter = false"
          "PIDAlg = 103|DoFilter = false|HistName = \"\""
          "PIDAlg = 103|FilterPath = \"$work/\"|FilterName = \"filter.ini\"")
now() { date +%s.%N; }
best() { if [ -z "$1" ] || [ "$(echo "$2 < $1" | bc -l)" = 1 ]; then echo "$2"; else echo "$1"; fi; }
param() {  # configuration index, output directory
    echo "FileInPath = \"$work/\""; echo "FileInName = \"bench.elist\""
    echo "FileOutPath = \"$work/$2/\""; echo "LogPath = \"$work/$2/\""
    echo "DoPrint = false"; echo "DoExportGraphics = false"; echo "DoCheckPrereq = false"
    echo "DoCreateElistExt = $extended"
    echo "DoCoinc = false"; echo "DoDirection = false"; echo "DoCompton = false"; echo "DoFrame = false"
    echo "DoSigVec = false"; echo "DoRadFieldRecog = false"; echo "DoMask = false"
    tr '|' '\n' <<< "${settings[$1]}"
}

# The configurations take turns, REPEAT rounds of one run each, and each keeps its best time: a busy moment of a
# shared machine then neither counts nor falls on one configuration only. Each round starts with the next
# configuration, so that each follows each of the others: what a run leaves behind (free memory, cached files)
# helps or hinders the next.
declare -a zel_time wc_time rss
runs=0
for ((round = 0; round < repeat; round++)); do
    for ((turn = 0; turn < ${#names[@]}; turn++)); do
        c=$(( (round + turn) % ${#names[@]} ))
        # Every run writes into a directory of its own, removed only at the end: files created just after
        # many were deleted in the same place cost the file system far more than files of a first run.
        runs=$((runs + 1))
        param "$c" "out$runs" > "$work/run.param"
        t0=$(now); wc -l "$work/bench.elist" >/dev/null; t1=$(now)
        /usr/bin/time -f "%M" -o "$work/rss" "$bin/zel" "$work/run.param" >/dev/null
        t2=$(now)
        wc_time[c]=$(best "${wc_time[c]:-}" "$(echo "$t1 - $t0" | bc -l)")
        zel_time[c]=$(best "${zel_time[c]:-}" "$(echo "$t2 - $t1" | bc -l)")
        rss[c]=$(cat "$work/rss")
        rm -f "$work/out$runs/File/"*.korelist  # the large extended event list
    done
done

echo "zel on $clusters clusters (extended event list: $extended)"
for c in "${!names[@]}"; do
    printf '%-34s %10.0f clusters/s   %6.2f s   %5.1f x wc -l   %5d MiB\n' "${names[c]}" \
        "$(echo "$clusters / ${zel_time[c]}" | bc -l)" "${zel_time[c]}" \
        "$(echo "${zel_time[c]} / ${wc_time[c]}" | bc -l)" "$(echo "${rss[c]} / 1024" | bc)"
    if [ "$c" = 1 ]; then
        printf '%-34s %10.0f %% of the throughput with modules off\n' "PID 103" \
            "$(echo "100 * ${zel_time[0]} / ${zel_time[1]}" | bc -l)"
    fi
done
