"""Parameter files from Python: settings given as a dict are written as a parameter file, and the few settings
the Python layer needs to know (where the log goes, the dose unit) are looked up in the files a run loaded."""
import os
import re
import tempfile

# The spellings the parameter reader accepts for the settings looked up here, and their defaults.
LOOKUPS = {
    "LogPath": (("LogPath", "FileLog_Path", "log_path"), "./"),
    "LogName": (("LogName", "FileLog_Name", "log_name"), "LogFile.txt"),
    "DoLog": (("DoLog", "do_log"), "true"),
    "DoDoseUnitRadiology": (("DoDoseUnitRadiology", "do_dose_unit_radiology"), "false"),
}

_SEPARATORS = re.compile(r"[ \t=:;]+")
_QUOTED = re.compile(r'"([^"]*)"')


def _text(value):
    text = os.fspath(value) if isinstance(value, os.PathLike) else value
    # A quote would end the value and "//" starts a comment anywhere on a line, also inside quotes.
    if '"' in text or "//" in text or "\n" in text:
        raise ValueError(f"a parameter text can not hold a quote, '//' or a line break: {text!r}")
    return f'"{text}"'


def format_value(value):
    """The value of one setting as the parameter file writes it."""
    if isinstance(value, bool):
        return "true" if value else "false"
    if isinstance(value, (int, float)):
        return repr(value)
    if isinstance(value, (str, os.PathLike)):
        return _text(value)
    if isinstance(value, (list, tuple)):
        return " ".join(_text(item) for item in value)
    raise TypeError(f"no parameter-file form for a value of type {type(value).__name__}")


def format_param_file(settings):
    """The text of a parameter file that sets `settings` (key -> value), one line each, in the dict's order."""
    return "".join(f"{key} = {format_value(value)}\n" for key, value in settings.items())


class ParamFile:
    """A parameter file on disk: the user's own, or a temporary one written from a dict and removed by close()."""

    def __init__(self, path, temporary=False):
        self.path = os.fspath(path)
        self.temporary = temporary

    @classmethod
    def from_settings(cls, settings):
        handle, path = tempfile.mkstemp(prefix="zel-", suffix=".param")
        with os.fdopen(handle, "w") as out:
            out.write(format_param_file(settings))
        return cls(path, temporary=True)

    @property
    def directory_and_name(self):
        """Path (with its separator) and name, as loadParamFile joins them."""
        directory, name = os.path.split(self.path)
        return (directory + os.sep if directory else ""), name

    def values(self, spellings):
        """The raw values of all lines whose key is one of `spellings`, in file order."""
        found = []
        with open(self.path, encoding="utf-8", errors="replace") as lines:
            for line in lines:
                line = line.split("//", 1)[0].strip()
                words = [w for w in _SEPARATORS.split(line) if w]
                if len(words) < 2 or words[0] not in spellings:
                    continue
                quoted = _QUOTED.search(line)
                found.append(quoted.group(1) if quoted else words[1])
        return found

    def close(self):
        if self.temporary:
            try:
                os.remove(self.path)
            except FileNotFoundError:
                pass


def lookup(param_files, setting):
    """The value of `setting` (a key of LOOKUPS) after loading `param_files` in order: the last line wins."""
    spellings, default = LOOKUPS[setting]
    value = default
    for param_file in param_files:
        values = param_file.values(spellings)
        if values:
            value = values[-1]
    return value


def is_true(value):
    return "true" in value
