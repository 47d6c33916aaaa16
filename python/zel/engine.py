"""The one engine of this process: a run opens it, and nothing else may while the run lasts."""
import contextlib
import threading

from . import core
from .errors import EngineBusyError

_run_lock = threading.Lock()


@contextlib.contextmanager
def open_engine(wait=False):
    """Constructs the engine for the length of the block and destroys it afterwards.

    Raises EngineBusyError when another run of this process is open (with `wait`, waits for it instead), or when the engine was constructed through
    the core functions and not yet destroyed: the library holds a single engine per process.
    """
    if not _run_lock.acquire(blocking=wait):
        raise EngineBusyError("a zel run is already open in this process; the library holds one engine per "
                              "process, so runs in one process go one after the other (use separate processes, "
                              "for example zel.distributed, to run in parallel)")
    try:
        if core.construct() != 0:
            raise EngineBusyError("this process already holds a zel engine made with zel.construct(); "
                                  "call zel.destruct() before starting a run")
        try:
            yield
        finally:
            core.destruct()
    finally:
        _run_lock.release()
