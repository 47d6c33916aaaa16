#!/usr/bin/env python3
"""Files per second of zel.distributed.process_files with one and with two worker processes, and the speed-up.

Each worker's engine runs on one thread (engine_threads=1), as process_files chooses for a local cluster that
fills the cores; one worker whose engine uses its default two threads is timed too, as the other way to use both
cores for comparison.

    PYTHONPATH=build/python /usr/bin/python3 bench/dask_files.py [--files 8] [--clusters 500000] [--rounds 2]

Generates the event lists with build/bin/zel_gen_elist into a scratch directory. Each configuration runs
`--rounds` times, taking turns, and the best time counts (a shared machine varies from minute to minute). The
local cluster is started before the clock runs. Not part of the test suite.
"""
import argparse
import logging
import os
import subprocess
import tempfile
import time

from dask.distributed import Client, LocalCluster

from zel.distributed import process_files

PARAMS = {"TimeSampling": 1.0, "DoPID": False, "DoFilter": False, "DoCreateElistExt": False,
          "DoExportGraphics": False}


def generate(directory, files, clusters, bin_dir):
    paths = []
    for seed in range(1, files + 1):
        path = os.path.join(directory, f"bench{seed}.elist")
        subprocess.run([os.path.join(bin_dir, "zel_gen_elist"), "--clusters", str(clusters), "--seed", str(seed),
                        "--out", path], check=True, stdout=subprocess.DEVNULL)
        paths.append(path)
    return paths


def timed_run(paths, workers, threads, scratch, round_index):
    with LocalCluster(n_workers=workers, threads_per_worker=1, processes=True, dashboard_address=None,
                      silence_logs=logging.ERROR) as cluster, Client(cluster) as client:
        client.run(lambda: __import__("zel"))  # the workers import the package before the clock runs
        started = time.perf_counter()
        merged = process_files(paths, PARAMS, client=client, engine_threads=threads,
                               output_path=os.path.join(scratch, f"w{workers}-t{threads}-r{round_index}"))
        seconds = time.perf_counter() - started
    failed = merged.files[merged.files["status"] != "ok"]
    if len(failed):
        raise SystemExit(f"failed runs:\n{failed[['file', 'message']]}")
    return seconds


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--files", type=int, default=8)
    parser.add_argument("--clusters", type=int, default=500000)
    parser.add_argument("--rounds", type=int, default=2)
    parser.add_argument("--bin", default=os.path.join(os.path.dirname(__file__), "..", "build", "bin"))
    args = parser.parse_args()
    with tempfile.TemporaryDirectory(prefix="zel-bench-") as scratch:
        paths = generate(scratch, args.files, args.clusters, args.bin)
        # (workers, threads of each engine; None: the engine's default)
        configurations = [(1, 1), (2, 1), (1, None)]
        best = {configuration: float("inf") for configuration in configurations}
        for round_index in range(args.rounds):
            for workers, threads in configurations:
                seconds = timed_run(paths, workers, threads, scratch, round_index)
                best[workers, threads] = min(best[workers, threads], seconds)
    for (workers, threads), seconds in best.items():
        engine = "engine on one thread" if threads == 1 else "engine on its default threads"
        print(f"{workers} worker(s), {engine}: {args.files} files of {args.clusters} clusters in {seconds:.2f} s, "
              f"{args.files / seconds:.2f} files/s, {args.files * args.clusters / seconds / 1e6:.2f} M clusters/s")
    print(f"speed-up 2 vs 1 workers: {best[1, 1] / best[2, 1]:.2f}; 2 workers vs 1 worker with a two-thread engine: "
          f"{best[1, None] / best[2, 1]:.2f} (cores: {os.cpu_count()})")


if __name__ == "__main__":
    main()
