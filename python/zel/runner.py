"""One run of the engine from a parameter file or a dict of settings, with its products as Python objects."""
import os
import time
import warnings

from . import core
from . import params as paramfiles
from .engine import open_engine
from .errors import ZelError
from .result import HISTOGRAM_PAIRS, read_products

UNKNOWN_KEY_CODE = -1031


def run(params, settings=None, inputs=None, histogram_pairs=HISTOGRAM_PAIRS, wait=False):
    """Runs the engine once, end to end, and returns a zel.RunResult.

    params: the path of a parameter file, or a dict of settings (``{"FileInPath": "data/", "TimeSampling": 10}``);
    settings: a dict of further settings applied after `params`; inputs: input files replacing those the
    settings name (files of one directory, read as one run); histogram_pairs: the variable pairs whose 2D
    histograms the result carries; wait: wait for a run of another thread of this process instead of raising
    zel.EngineBusyError.

    A failure raises zel.ZelError with the engine's code and the error messages of its log.
    """
    sources = []
    try:
        sources.append(_param_source(params))
        if settings:
            sources.append(paramfiles.ParamFile.from_settings(settings))
        with open_engine(wait=wait):
            for source in sources:
                _load(source)
            if inputs is not None:
                _set_inputs(inputs)
            log_path = _log_path(sources)
            if log_path and os.path.dirname(log_path):
                # A log that can not be opened where asked would go to the working directory instead.
                os.makedirs(os.path.dirname(log_path), exist_ok=True)
            started = time.time()
            _check(core.init, log_path)
            _check(core.processFile, log_path)
            radiology = paramfiles.is_true(paramfiles.lookup(sources, "DoDoseUnitRadiology"))
            result = read_products(radiology, histogram_pairs)
            result.output_path = core.getFileOutPath()
            result.files = written_files(result.output_path, started)
            result.log_path = log_path
            return result
    finally:
        for source in sources:
            source.close()


def _param_source(params):
    if isinstance(params, dict):
        return paramfiles.ParamFile.from_settings(params)
    if isinstance(params, (str, os.PathLike)):
        return paramfiles.ParamFile(params)
    raise TypeError("params must be the path of a parameter file or a dict of settings")


def _load(source):
    directory, name = source.directory_and_name
    try:
        code = core.loadParamFile(directory, name)
    except ZelError as error:
        raise ZelError(error.code, f"Can not open parameters file {source.path}.") from None
    if code == 0:
        return
    unknown = code // UNKNOWN_KEY_CODE
    text = f"{unknown} line(s) of {'the settings' if source.temporary else source.path} name no setting"
    if source.temporary:
        raise ZelError(code, text + "; see the keys in docs/zel.md.")
    warnings.warn(text + "; they were skipped.", stacklevel=3)


def _set_inputs(inputs):
    paths = [os.path.abspath(os.fspath(path)) for path in inputs]
    directories = {os.path.dirname(path) for path in paths}
    if len(directories) != 1:
        raise ValueError("the input files of one run must lie in one directory")
    core.setFileInPath(directories.pop() + os.sep)
    core.setFileInNames([os.path.basename(path) for path in paths])


def _log_path(sources):
    if not paramfiles.is_true(paramfiles.lookup(sources, "DoLog")):
        return None
    return paramfiles.lookup(sources, "LogPath") + paramfiles.lookup(sources, "LogName")


def _check(step, log_path):
    """Runs an engine step; a negative result or a raised code becomes ZelError with the log's error messages."""
    try:
        code = step()
    except ZelError as error:
        code = error.code
    if code < 0:
        raise ZelError(code, error_messages(log_path) or "the engine reported a failure")


def error_messages(log_path):
    """The error messages of a run's log, joined in their order."""
    if not log_path or not os.path.isfile(log_path):
        return ""
    prefix = "[ERROR]"
    with open(log_path, encoding="utf-8", errors="replace") as log:
        lines = [line[len(prefix):].strip() for line in log if line.startswith(prefix)]
    return " / ".join(dict.fromkeys(lines))


def written_files(directory, since):
    """The files below `directory` written since the time `since`, sorted."""
    found = []
    for root, _, names in os.walk(directory or "."):
        for name in names:
            path = os.path.join(root, name)
            try:
                if os.stat(path).st_mtime >= since - 0.01:
                    found.append(path)
            except FileNotFoundError:
                continue
    return sorted(found)
