"""Event lists as pandas DataFrames, read by the library's own reader."""
import os

from . import _core


def read_event_list(path):
    """The clusters of the event list `path` as a DataFrame, one column per variable of its header.

    Values are converted as a run reads them (times in ns, positions in px, angles in deg); the units of the
    columns are in ``frame.attrs["units"]``. A file that can not be read raises zel.ZelError with the reader's
    code and message.
    """
    import pandas

    directory, name = os.path.split(os.fspath(path))
    values, names, units = _core.readEventList(directory + os.sep if directory else "", name)
    frame = pandas.DataFrame(values, columns=names, copy=False)
    frame.attrs["units"] = dict(zip(names, units))
    return frame
