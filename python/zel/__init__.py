"""zel from Python.

Two layers: the library's 72 functions under their own names (``zel.construct()``, ``zel.getDoseRate()``, ...;
see zel.core), and ``zel.run(params)`` returning a RunResult with the totals, a DataFrame per sample, per-class
tables, histograms as numpy arrays and the written files. ``zel.read_event_list(path)`` reads an event list into
a DataFrame. ``zel.distributed.process_files`` runs many files on a Dask cluster (import zel.distributed).
"""
from .core import *  # noqa: F401,F403  the 72 functions
from .core import FUNCTIONS
from .errors import EngineBusyError, ZelError
from .eventlist import read_event_list
from .result import Histogram1D, Histogram2D, RunResult
from .runner import run
