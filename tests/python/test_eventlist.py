"""zel.read_event_list: the library's reader behind a DataFrame."""
import os

import pytest

pandas = pytest.importorskip("pandas")
import zel  # noqa: E402

from conftest import EXAMPLE_DIR  # noqa: E402


def test_names_units_and_converted_values(tmp_path):
    path = tmp_path / "small.elist"
    path.write_text("EventID\tX\tY\tT\tE\n-\tpx\tpx\ts\tkeV\n0\t1.5\t2\t0.5\t10\n# a comment\n1\t3\t4\t1.25\t20.5\n")
    frame = zel.read_event_list(path)
    assert list(frame.columns) == ["EventID", "X", "Y", "T", "E"]
    assert frame.attrs["units"]["T"] == "ns"  # times in s are read as ns
    assert frame["T"].tolist() == [0.5e9, 1.25e9]
    assert frame["E"].tolist() == [10.0, 20.5]


def test_the_example_list_whole():
    frame = zel.read_event_list(os.path.join(EXAMPLE_DIR, "example.elist"))
    assert frame.shape == (1000, 28)
    assert frame.iloc[0][["X", "Y", "E"]].tolist() == [77.521, 253.792, 69.239]


def test_unreadable_lists_raise_the_readers_code(tmp_path):
    with pytest.raises(zel.ZelError) as raised:
        zel.read_event_list(tmp_path / "missing.elist")
    assert raised.value.code == -5700 and "missing.elist" in raised.value.message
    bad = tmp_path / "bad.elist"
    bad.write_text("EventID\tX\tY\tT\n-\tpx\tpx\tns\n0\t1\tx2\t3\n")
    with pytest.raises(zel.ZelError) as raised:
        zel.read_event_list(bad)
    assert raised.value.code == -5708 and "not a number" in raised.value.message
