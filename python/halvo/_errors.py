"""The one exception halvo raises for what the engine refuses or fails at."""


class HalvoError(Exception):
    """A run or a coefficient command that did not complete.

    ``str(error)`` is what ``halvo`` prints after ``halvo: error:``.
    ``kind`` is ``"refused"`` (the input: nothing was started),
    ``"stopped"`` (the run told why and stopped) or ``"failed"`` (a stage
    failed; ``report`` then holds the error report with its chain of
    procedures). In every case no output was written and an earlier output
    is as it was.
    """

    def __init__(self, message: str, kind: str = "refused", report: str = ""):
        super().__init__(message)
        self.message = message
        self.kind = kind
        self.report = report
