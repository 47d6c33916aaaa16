"""Many input files on a Dask cluster: each file (or group of files of one run) in a worker process with its own
engine and its own output directory, and the totals merged at the end."""
import contextlib
import dataclasses
import json
import logging
import os

from .result import PRODUCTS, column

MERGED_NAME = "MergedResults"
SUMMED = ("CountParticle", "EnergyDep", "Dose", "Fluence", "LiveTime")
SECONDS_PER_HOUR = 3600.0
THREADS_VARIABLE = "ZEL_THREADS"


@dataclasses.dataclass
class MergedResult:
    """files: one row per input file or group (status, code, message, output directory, totals with units);
    totals: the merged totals by product name; units: their units; path: the merged results file."""
    files: "pandas.DataFrame"
    totals: dict
    units: dict
    path: str


def process_files(files, params, client=None, output_path="zel-runs", settings=None, n_workers=2,
                  engine_threads=None):
    """Processes every entry of `files` (a path, or a list of paths of one directory read as one run) as its own
    run of `params` (a parameter file or a dict of settings, with `settings` applied after it).

    Each run writes below `output_path`/NNNN_NAME/. Without `client`, a local cluster of `n_workers` processes is
    started and closed; with one, its scheduler runs the work. A run that fails is reported in its row and the
    others go on. Returns a MergedResult and writes MERGED_NAME + ".json" and ".csv" in `output_path`.

    An engine uses two threads on a machine of several cores. `engine_threads` = 1 keeps each run on one thread,
    which is faster when the workers already fill the cores; by default that is chosen for a local cluster with
    at least as many workers as cores, and left to the engine on a user's cluster.
    """
    groups = [[os.fspath(entry)] if isinstance(entry, (str, os.PathLike)) else [os.fspath(p) for p in entry]
              for entry in files]
    root = os.path.abspath(os.fspath(output_path))
    os.makedirs(root, exist_ok=True)
    if isinstance(params, (str, os.PathLike)):
        params = os.path.abspath(os.fspath(params))
    if engine_threads is None and client is None and n_workers >= (os.cpu_count() or 1):
        engine_threads = 1
    jobs = [_job(root, index, group, settings, engine_threads) for index, group in enumerate(groups)]
    with _client_for(client, n_workers) as dask_client:
        futures = dask_client.map(process_one, [params] * len(jobs), jobs, pure=False)
        outcomes = [_outcome_of(future, job) for future, job in zip(futures, jobs)]
    return write_merged(root, outcomes)


def _job(root, index, group, settings, engine_threads):
    stem = os.path.splitext(os.path.basename(group[0]))[0] if group else "empty"
    out = os.path.join(root, f"{index:04d}_{stem}") + os.sep
    run_settings = dict(settings or {})
    # Everything the run writes, its log included, stays in its own directory; workers print nothing.
    run_settings.update(FileOutPath=out, LogPath=out, DoPrint=False)
    return {"inputs": [os.path.abspath(path) for path in group], "settings": run_settings, "output_path": out,
            "engine_threads": engine_threads}


def process_one(params, job):
    """Runs one job in this process and returns its row: status, code, message and totals."""
    from .errors import ZelError
    from .runner import run

    row = {"file": ";".join(job["inputs"]), "output_path": job["output_path"]}
    try:
        os.makedirs(job["output_path"], exist_ok=True)
        with _engine_threads(job.get("engine_threads")):
            result = run(params, settings=job["settings"], inputs=job["inputs"], histogram_pairs=(), wait=True)
    except ZelError as error:
        return {**row, "status": "failed", "code": error.code, "message": error.message}
    except Exception as error:  # a worker reports every failure of its file and goes on with the next
        return {**row, "status": "failed", "code": None, "message": f"{type(error).__name__}: {error}"}
    return {**row, "status": "ok", "code": 0, "message": "", "totals": result.totals, "units": result.units}


@contextlib.contextmanager
def _engine_threads(threads):
    """Limits the engines made meanwhile in this process to one thread (ZEL_THREADS=1) when `threads` is 1."""
    if threads != 1:
        yield
        return
    before = os.environ.get(THREADS_VARIABLE)
    os.environ[THREADS_VARIABLE] = "1"
    try:
        yield
    finally:
        if before is None:
            del os.environ[THREADS_VARIABLE]
        else:
            os.environ[THREADS_VARIABLE] = before


def _outcome_of(future, job):
    try:
        return future.result()
    except Exception as error:  # the worker process itself was lost
        return {"file": ";".join(job["inputs"]), "output_path": job["output_path"], "status": "failed",
                "code": None, "message": f"{type(error).__name__}: {error}"}


@contextlib.contextmanager
def _client_for(client, n_workers):
    if client is not None:
        yield client
        return
    from dask.distributed import Client, LocalCluster

    # One thread per worker: each worker process holds one engine.
    with LocalCluster(n_workers=n_workers, threads_per_worker=1, processes=True, dashboard_address=None,
                      silence_logs=logging.ERROR) as cluster, Client(cluster) as local:
        yield local


def merge_totals(outcomes):
    """Sums of counts, energy, dose, fluence and live time over the runs that succeeded; rates from the sums."""
    done = [o for o in outcomes if o["status"] == "ok"]
    units = dict(done[0]["units"]) if done else {}
    totals = {name: sum(o["totals"][name] for o in done) for name in SUMMED}
    totals["CountSample"] = sum(o["totals"]["CountSample"] for o in done)
    live = totals["LiveTime"]
    per_hour = units.get("DoseRate") == "uGy/h"
    totals["CountRate"] = totals["CountParticle"] / live if live > 0 else 0.0
    totals["Flux"] = totals["Fluence"] / live if live > 0 else 0.0
    dose_per_second = totals["Dose"] / live if live > 0 else 0.0
    totals["DoseRate"] = dose_per_second * SECONDS_PER_HOUR if per_hour else dose_per_second
    return totals, units


def write_merged(root, outcomes):
    import pandas

    totals, units = merge_totals(outcomes)
    rows = []
    for outcome in outcomes:
        row = {key: outcome[key] for key in ("file", "status", "code", "message", "output_path")}
        for name, value in outcome.get("totals", {}).items():
            row[column(name, outcome["units"][name])] = value
        rows.append(row)
    table = pandas.DataFrame(rows)
    base = os.path.join(root, MERGED_NAME)
    document = {
        "Totals": {f"{name}_{units[name]}": value for name, value in totals.items() if name in units},
        "FilesProcessed": sum(o["status"] == "ok" for o in outcomes),
        "FilesFailed": [{"file": o["file"], "code": o["code"], "message": o["message"]}
                        for o in outcomes if o["status"] != "ok"],
    }
    _write_whole(base + ".json", json.dumps(document, indent=2) + "\n")
    _write_whole(base + ".csv", table.to_csv(index=False))
    return MergedResult(files=table, totals=totals, units=units, path=base + ".json")


def _write_whole(path, text):
    """Writes to a temporary name and renames, so that the file appears only complete."""
    partial = path + ".partial"
    with open(partial, "w", encoding="utf-8") as out:
        out.write(text)
    os.replace(partial, path)
