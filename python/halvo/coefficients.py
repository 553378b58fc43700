"""The coefficient sets of the store (etc/isprops.xml in the extension
folder), as ``halvo coefficients`` manages them.

Comma-separated files hold one class a line: Value,ClassName,High,Medium,Low.
Failures raise :class:`halvo.HalvoError` with the message the command prints.
"""

from __future__ import annotations

import io
import os
from typing import List, Optional

import pandas

from . import _halvo

__all__ = ["list", "show", "import_csv", "export_csv"]

_list = list


def _wait(wait: Optional[float]) -> float:
    return -1.0 if wait is None else float(wait)


def list(wait: Optional[float] = None) -> List[str]:  # noqa: A001 - as the command names it
    """The names of the coefficient sets, in store order (``halvo coefficients list``)."""
    return _list(_halvo.coefficient_sets(_wait(wait)))


def show(name: str, wait: Optional[float] = None) -> pandas.DataFrame:
    """The set ``name`` as a table: Value, ClassName, High, Medium, Low, one row a class
    (``halvo coefficients show NAME``)."""
    text = _halvo.coefficient_csv(name, _wait(wait))
    return pandas.read_csv(io.StringIO(text), dtype={"ClassName": str}, keep_default_na=False)


def import_csv(file: "str | os.PathLike[str]", name: str, wait: Optional[float] = None) -> str:
    """Reads a comma-separated file into a new set ``name``, which must not be taken
    (``halvo coefficients import FILE --name NAME``); answers the new set's name."""
    added = _halvo.import_coefficients(os.fspath(file), name, _wait(wait))
    if not added:
        from ._errors import HalvoError

        raise HalvoError(f"The coefficient set '{name}' was not imported")
    return added


def export_csv(name: str, file: "str | os.PathLike[str]", wait: Optional[float] = None) -> None:
    """Writes the set ``name`` to a comma-separated file; an existing one is replaced
    (``halvo coefficients export NAME FILE``)."""
    _halvo.export_coefficients(name, os.fspath(file), _wait(wait))
