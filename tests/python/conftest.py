"""Shared helpers of the Python tests: where the build put its programs, and generated event lists."""
import os
import subprocess

import pytest

BIN_DIR = os.environ.get("ZEL_BIN_DIR", os.path.join(os.path.dirname(__file__), "..", "..", "build", "bin"))
SOURCE_DIR = os.environ.get("ZEL_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
EXAMPLE_DIR = os.path.join(SOURCE_DIR, "examples", "elist")


def generate_elist(path, clusters, seed):
    """Writes a synthetic event list of `clusters` clusters with the project's generator."""
    generator = os.path.join(BIN_DIR, "zel_gen_elist")
    if not os.access(generator, os.X_OK):
        pytest.skip("zel_gen_elist is not built")
    subprocess.run([generator, "--clusters", str(clusters), "--seed", str(seed), "--out", str(path)],
                   check=True, stdout=subprocess.DEVNULL)
    return str(path)


def quiet_settings(out_dir, **extra):
    """Settings of a small run that writes everything into `out_dir` and prints nothing."""
    out = str(out_dir) + os.sep
    return {"FileOutPath": out, "LogPath": out, "DoPrint": False, "DoExportGraphics": False, **extra}


@pytest.fixture
def example_settings(tmp_path):
    """The bundled example event list (1000 clusters, 5 samples of 1 s), results in a scratch directory."""
    return quiet_settings(tmp_path / "out", FileInPath=EXAMPLE_DIR + os.sep, FileInName="example.elist",
                          TimeSampling=1.0, DoPID=False, DoFilter=False)
