# The engine extension; halvo/__init__.py is its Python face.
from typing import Any, Callable, List, Optional, Sequence

class RunChoices:
    parameters: str
    landcover: str
    units: str
    analysis: str
    field: str
    select: str
    coefficients: str
    coefficients_csv: str
    density: str
    density_layer: str
    density_field: str
    high: str
    low: str
    scenarios: List[str]
    coverage: str
    output: str
    layer_name: str
    html: bool
    yes: bool
    threads: int
    wait: float
    def __init__(self) -> None: ...

def run(choices: RunChoices, progress: Optional[Callable[[str, Optional[float]], Any]] = None,
        window_scan: Any = None) -> dict: ...
def extension_folder() -> str: ...
def coefficient_sets(wait: float = -1.0) -> List[str]: ...
def coefficient_csv(name: str, wait: float = -1.0) -> str: ...
def import_coefficients(file: str, name: str, wait: float = -1.0) -> str: ...
def export_coefficients(name: str, file: str, wait: float = -1.0) -> None: ...
def command_line(args: Sequence[str], executor: Any) -> int: ...
def scan_window(task: bytes, threads: int = 0) -> bytes: ...
def merge_tallies(tallies: Sequence[bytes], zone_count: int) -> bytes: ...
