"""Errors of the zel package."""


class ZelError(RuntimeError):
    """A failure reported by the library: `code` is its negative code, `message` its text."""

    def __init__(self, code, message=""):
        self.code = int(code)
        self.message = str(message)
        super().__init__(f"{self.message} (code {self.code})" if self.message else f"code {self.code}")


class EngineBusyError(RuntimeError):
    """Raised when a run starts while this process already holds an engine (there is one per process)."""
