"""zel.run: its products against the getters of the same run, its tables, its errors and the engine guard."""
import os

import pytest

np = pytest.importorskip("numpy")
pandas = pytest.importorskip("pandas")
import zel  # noqa: E402

from zel.engine import open_engine  # noqa: E402
from zel.params import format_param_file  # noqa: E402
from zel.result import PRODUCTS  # noqa: E402

from conftest import quiet_settings  # noqa: E402

SAMPLE_COLUMNS = ["ElapsedTime [s]", "CountParticle [cnt]", "CountRate [s-1]", "EnergyDep [keV]", "Dose [uGy]",
                  "DoseRate [uGy/h]", "Fluence [cm-2]", "Flux [cm-2 s-1]"]


def getter_products(settings, directory):
    """The same run through the core functions, as a C++ host would drive it."""
    (directory / "run.param").write_text(format_param_file(settings))
    zel.construct()
    try:
        assert zel.loadParamFile(str(directory) + os.sep, "run.param") == 0
        assert zel.init() == 0
        assert zel.processFile() == 0
        return {
            "totals": {name: total() for name, total, _, _, _ in PRODUCTS},
            "series": {name: series() for name, _, series, _, _ in PRODUCTS},
            "elapsed": zel.getElapsedTimes(),
            "hist_E": zel.getHist1DAll("E"),
        }
    finally:
        zel.destruct()


def test_products_equal_the_getters_of_the_same_run(example_settings, tmp_path):
    result = zel.run(example_settings)
    expected = getter_products(example_settings, tmp_path)
    assert {name: result.totals[name] for name in expected["totals"]} == expected["totals"]
    for name, unit_column in zip(expected["series"], SAMPLE_COLUMNS[1:]):
        np.testing.assert_array_equal(result.samples[unit_column].to_numpy(), expected["series"][name])
    np.testing.assert_array_equal(result.samples["ElapsedTime [s]"].to_numpy(), expected["elapsed"])
    slot_edges, slots = expected["hist_E"]
    hist = result.histograms["E"]
    assert len(hist.edges) == len(hist.contents) + 1
    np.testing.assert_array_equal(hist.edges, slot_edges[1:])
    np.testing.assert_array_equal(np.concatenate(([hist.underflow], hist.contents, [hist.overflow])), slots)


def test_samples_table_classes_and_files(example_settings):
    result = zel.run({**example_settings, "DoPID": True, "PIDAlg": 101})
    assert list(result.samples.columns) == SAMPLE_COLUMNS
    assert len(result.samples) == result.totals["CountSample"] == 5
    assert result.samples["CountParticle [cnt]"].sum() == result.totals["CountParticle"] == 1000
    assert result.totals["LiveTime"] == pytest.approx(4.928454315, abs=1e-9)

    # Every cluster is in exactly one class, "Others" included.
    assert list(result.classes)[-1] == "Others" and len(result.classes) > 2
    per_class = sum(table["CountParticle [cnt]"].to_numpy() for table in result.classes.values())
    np.testing.assert_array_equal(per_class, result.samples["CountParticle [cnt]"].to_numpy())
    assert all(list(table.columns) == SAMPLE_COLUMNS for table in result.classes.values())

    # The small clusters of one size bin of the 2D histogram are those of the same sizes in the size histogram.
    sizes = result.histograms["Size"]
    assert sizes.contents.sum() + sizes.underflow + sizes.overflow == 1000
    hist = result.histograms_2d[("E", "Size")]
    assert hist.contents.shape == (len(hist.edges_x) - 1, len(hist.edges_y) - 1)
    column = np.searchsorted(hist.edges_y, 2.0, side="right") - 1
    lo, hi = hist.edges_y[column], hist.edges_y[column + 1]
    same_sizes = sizes.contents[(sizes.edges[:-1] >= lo) & (sizes.edges[:-1] < hi)].sum()
    assert hist.contents[:, column].sum() == same_sizes > 0

    names = {os.path.basename(path) for path in result.files}
    assert {"SamplingList.txt", "SamplingList.json", "LogFile.txt"} <= names
    assert result.log_path == result.output_path + "LogFile.txt" and os.path.isfile(result.log_path)


def test_radiology_units_rename_the_dose_columns(example_settings):
    normal = zel.run(example_settings)
    radiology = zel.run({**example_settings, "DoDoseUnitRadiology": True})
    assert radiology.units["Dose"] == "Gy" and radiology.units["DoseRate"] == "Gy/s"
    assert "DoseRate [Gy/s]" in radiology.samples.columns
    assert radiology.totals["Dose"] == pytest.approx(normal.totals["Dose"] * 1e-6, rel=1e-9)
    assert radiology.totals["DoseRate"] == pytest.approx(normal.totals["DoseRate"] * 1e-6 / 3600, rel=1e-9)


def test_settings_after_a_param_file_and_nothing_in_the_working_directory(example_settings, tmp_path, monkeypatch):
    param = tmp_path / "user.param"
    param.write_text(format_param_file({**example_settings, "FileOutPath": str(tmp_path / "first") + os.sep}))
    work = tmp_path / "work"
    work.mkdir()
    monkeypatch.chdir(work)
    result = zel.run(str(param), settings={"FileOutPath": str(tmp_path / "second") + os.sep})
    assert result.output_path == str(tmp_path / "second") + os.sep
    assert result.files and all(path.startswith(result.output_path) for path in result.files)
    assert not (tmp_path / "first").exists()
    assert os.listdir(work) == []


def test_failures_raise_with_code_and_the_logged_message(example_settings, tmp_path):
    bad = tmp_path / "bad.elist"
    bad.write_text("EventID\tX\tY\tT\tE\n-\tpx\tpx\tns\tkeV\n0\t1\t2\t3\t4\n1\t1\tabc\t5\t6\n")
    with pytest.raises(zel.ZelError) as raised:
        zel.run({**example_settings, "FileInPath": str(tmp_path) + os.sep, "FileInName": "bad.elist"})
    assert raised.value.code < 0
    assert '"abc" is not a number' in raised.value.message
    with pytest.raises(zel.ZelError) as raised:
        zel.run({**example_settings, "TimeSamplin": 3})
    assert raised.value.code == -1031
    assert zel.version() == ""  # the engine of a failed run is gone


def test_one_run_at_a_time(example_settings):
    zel.construct()
    try:
        with pytest.raises(zel.EngineBusyError):
            zel.run(example_settings)
    finally:
        zel.destruct()
    with open_engine():
        with pytest.raises(zel.EngineBusyError):
            zel.run(example_settings)
    assert zel.run(example_settings).totals["CountParticle"] == 1000


def test_dict_values_reach_the_engine_and_unwritable_texts_are_refused(example_settings):
    result = zel.run({**example_settings, "TimeSampling": 2.5, "DoIgnoreClusterSensEdge": True})
    assert result.samples["ElapsedTime [s]"].tolist() == [2.5, pytest.approx(4.928454315, abs=1e-9)]
    assert result.totals["CountParticle"] < 1000  # the edge clusters are left out
    # A quote would end the text early and "//" would cut the line as a comment.
    for text in ('a"b', "results//run"):
        with pytest.raises(ValueError):
            zel.run({**example_settings, "FileOutPath": text})
