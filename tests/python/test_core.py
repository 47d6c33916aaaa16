"""The 72 functions from Python: absence of the engine, its lifecycle, errors as exceptions, pushed batches."""
import os
import re

import pytest

np = pytest.importorskip("numpy")
import zel  # noqa: E402

from conftest import EXAMPLE_DIR  # noqa: E402


@pytest.fixture(autouse=True)
def no_engine_left():
    yield
    zel.destruct()


def test_all_72_functions_are_there_under_their_own_names():
    assert len(set(zel.FUNCTIONS)) == 72
    for name in zel.FUNCTIONS:
        assert callable(getattr(zel, name)), name


def test_without_engine_every_kind_of_function_reports_its_absence():
    assert zel.destruct() == -1
    for call in (zel.init, zel.processFile, zel.reset, zel.resetCurrDataStorage, zel.print,
                 lambda: zel.setTimeSampling(2.0), lambda: zel.setFileInNames(["a", "b"]),
                 lambda: zel.loadParamFile("", "none.param"), lambda: zel.processClusters([[1.0, 2.0]])):
        assert call() == -1
    assert zel.getDoseRate() == -1.0 and zel.getSamplingTime() == -1.0
    assert zel.version() == "" and zel.getFileOutPath() == "" and zel.getDoExportClist() is False
    assert zel.getPIDClassNames() == []
    for series in (zel.getDoseTime(), zel.getElapsedTimes(), zel.getDoseTimeClass(), zel.getHist1DAll("E")):
        assert isinstance(series, np.ndarray) and series.size == 0
    assert zel.getCurrentDoseRate(0.0) == (-1, 0.0)
    code, values = zel.getCurrentCountParticleClass()
    assert code == -1 and values.size == 0
    assert zel.radFieldRecognition("kept", 7.0) == (-1, "kept", 7.0)
    assert zel.getComCamProjectionNBins() == (-1, -1, -1)


def test_one_engine_per_process_and_its_version():
    assert zel.construct() == 0
    assert zel.construct() == -1
    assert re.fullmatch(r"1\.1\.0_240828_[0-9a-f]{8}", zel.version())
    assert zel.setTimeSampling(2.5) == 0 and zel.getSamplingTime() == 2.5
    assert zel.destruct() == 0 and zel.version() == ""


def test_param_file_errors_are_codes_or_exceptions(tmp_path):
    zel.construct()
    zel.setDoPrint(False)
    with pytest.raises(zel.ZelError) as raised:
        zel.loadParamFile(str(tmp_path), "missing.param")
    assert raised.value.code == -1000
    (tmp_path / "two-unknown.param").write_text("NoSuchKey 1\nTimeSampling 2\nAnotherOne \"x\"\n")
    assert zel.loadParamFile(str(tmp_path) + os.sep, "two-unknown.param") == -2062
    assert zel.getSamplingTime() == 2.0
    # Path and name are joined as they are: without the separator the name runs into the directory's.
    with pytest.raises(zel.ZelError):
        zel.loadParamFile(str(tmp_path), "two-unknown.param")


def test_pushed_batches_as_numpy_rows(tmp_path):
    frame = zel.read_event_list(os.path.join(EXAMPLE_DIR, "example.elist"))
    rows = frame.to_numpy()
    zel.construct()
    zel.setDoPrint(False)
    zel.setDoLog(False)
    zel.setFileOutPath(str(tmp_path) + os.sep)
    zel.setTimeSampling(1000.0)  # one sample holds the whole list: the current values are the batch's
    assert zel.setClusterVarOrder(list(frame.columns)) == 0
    assert zel.init() == 0
    assert zel.processClusters(rows[:400]) == 0
    assert zel.getCurrentCountParticle() == (0, pytest.approx(400.0, rel=1e-12))
    zel.resetCurrDataStorage()
    assert zel.processClusters(rows[400:].tolist()) == 0  # lists of rows are taken as well
    assert zel.getCurrentCountParticle() == (0, pytest.approx(600.0, rel=1e-12))
    assert zel.getCountParticle() == 1000.0
    assert zel.getEnergyDep() == pytest.approx(frame["E"].sum(), rel=1e-12)
    with pytest.raises(ValueError):
        zel.processClusters(np.zeros(5))
