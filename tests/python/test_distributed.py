"""Many files on a local Dask cluster of two worker processes against the same files run one by one."""
import json
import os

import pytest

pandas = pytest.importorskip("pandas")
pytest.importorskip("distributed")
import zel  # noqa: E402

from zel.distributed import THREADS_VARIABLE, process_files, process_one  # noqa: E402

from conftest import generate_elist, quiet_settings  # noqa: E402

EXACT = ("CountParticle", "EnergyDep", "CountSample")
DERIVED = ("Dose", "Fluence", "LiveTime", "CountRate", "DoseRate", "Flux")


def test_merged_totals_equal_the_sum_of_single_runs_and_a_bad_file_is_reported(tmp_path):
    data = tmp_path / "data"
    data.mkdir()
    files = [generate_elist(data / f"run{seed}.elist", 3000, seed) for seed in range(1, 7)]
    bad = data / "broken.elist"
    bad.write_text("EventID\tX\tY\tT\tE\n-\tpx\tpx\tns\tkeV\n0\t1\t2\t3\t4\n1\t1\tabc\t5\t6\n")
    params = {"TimeSampling": 1.0, "DoPID": False, "DoFilter": False, "DoExportGraphics": False}

    singles = [zel.run(params, settings=quiet_settings(tmp_path / "single" / str(i)), inputs=[path]).totals
               for i, path in enumerate(files)]
    merged = process_files(files[:3] + [str(bad)] + files[3:], params, output_path=tmp_path / "runs")

    table = merged.files
    assert len(table) == 7
    assert table["status"].tolist().count("ok") == 6
    failed = table[table["status"] == "failed"].iloc[0]
    assert failed["file"] == str(bad) and failed["code"] < 0 and '"abc" is not a number' in failed["message"]

    # The workers' runs are the single runs, and the engine's own rates follow the merge's rule.
    done = table[table["status"] == "ok"]
    assert done["CountParticle [cnt]"].tolist() == [single["CountParticle"] for single in singles]
    assert done["DoseRate [uGy/h]"].tolist() == [single["DoseRate"] for single in singles]
    for single in singles:
        assert single["DoseRate"] == pytest.approx(single["Dose"] / single["LiveTime"] * 3600.0, rel=1e-12)

    for name in EXACT:
        assert merged.totals[name] == sum(single[name] for single in singles), name
    live = sum(single["LiveTime"] for single in singles)
    expected = {name: sum(single[name] for single in singles) for name in ("Dose", "Fluence", "LiveTime")}
    expected.update(CountRate=merged.totals["CountParticle"] / live, Flux=expected["Fluence"] / live,
                    DoseRate=expected["Dose"] / live * 3600.0)
    for name in DERIVED:
        assert merged.totals[name] == pytest.approx(expected[name], rel=1e-12), name

    # Each file kept to its own directory; the merged file holds the same totals.
    outputs = table["output_path"].tolist()
    assert len(set(outputs)) == 7 and all(os.path.isfile(os.path.join(out, "LogFile.txt")) for out in outputs)
    document = json.loads((tmp_path / "runs" / "MergedResults.json").read_text())
    assert document["Totals"]["CountParticle_cnt"] == merged.totals["CountParticle"]
    assert document["FilesProcessed"] == 6 and document["FilesFailed"][0]["file"] == str(bad)


def test_a_job_limited_to_one_thread_sets_the_engine_variable_only_while_it_runs(tmp_path, monkeypatch):
    monkeypatch.delenv(THREADS_VARIABLE, raising=False)
    path = generate_elist(tmp_path / "one.elist", 500, 3)
    params = {"TimeSampling": 1.0, "DoPID": False, "DoFilter": False, "DoExportGraphics": False}
    seen = []
    import zel.runner

    real_run = zel.runner.run

    def spying_run(*args, **kwargs):
        seen.append(os.environ.get(THREADS_VARIABLE))
        return real_run(*args, **kwargs)

    monkeypatch.setattr(zel.runner, "run", spying_run)
    for threads in (1, None):
        settings = quiet_settings(tmp_path / f"t{threads}")
        job = {"inputs": [str(path)], "settings": settings, "output_path": settings["FileOutPath"],
               "engine_threads": threads}
        row = process_one(params, job)
        assert row["status"] == "ok" and row["totals"]["CountParticle"] == 500
        assert THREADS_VARIABLE not in os.environ
    assert seen == ["1", None]
