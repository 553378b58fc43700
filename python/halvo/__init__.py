"""Halvo: impervious surface per zone from a land-cover raster and coefficients.

    >>> import halvo
    >>> r = halvo.run(landcover="landcover.tif", analysis="watersheds.shp", field="NAME",
    ...               coefficients="NLCD", density="medium", output="out/watersheds_is.shp")
    >>> r.zones            # one row a zone: TotHects, TotISHec, pctIS, Complete
    >>> r.output           # the shapefile, beside it r.style, r.parameter_report, ...

``halvo.coefficients`` lists, shows, imports and exports coefficient sets.
A run on a Dask cluster: ``halvo.run(..., client=dask_client)`` (see halvo.dask).
"""

from __future__ import annotations

import os
from dataclasses import dataclass, field as _field
from pathlib import Path
from typing import Any, Callable, List, NamedTuple, Optional, Sequence, Tuple, Union

import pandas

from . import _halvo
from . import coefficients
from ._errors import HalvoError

__all__ = ["run", "Result", "DensityLayer", "HalvoError", "coefficients", "extension_folder"]

PathLike = Union[str, "os.PathLike[str]"]
#: progress(stage, fraction): fraction 0..1, or None while a stage cannot tell.
ProgressCallback = Callable[[str, Optional[float]], Any]


class DensityLayer(NamedTuple):
    """Population density per polygon (``--density-layer``, ``--density-field``,
    ``--high``, ``--low``): each piece of a zone inside a polygon of ``layer``
    takes the High coefficient where ``field`` is at or above ``high``, Low at
    or below ``low``, Medium between; land outside the layer is left out."""

    layer: PathLike
    field: str
    high: Union[str, float]
    low: Union[str, float]


@dataclass
class Result:
    """What a run wrote, and its figures.

    ``zones`` has one row per zone (index: the zone's value of the field), in
    the output's order, with the output's columns: TotHects, TotISHec (or
    TotAcres, TotISAcr in feet), pctIS, and Complete (False where the zone
    touches NODATA cells or leaves the raster or the density layer)."""

    output: Path
    style: Path
    parameter_report: Path
    metadata_report: Path
    page: Optional[Path]
    units: str
    zones: pandas.DataFrame
    skipped: List[str] = _field(default_factory=list)
    messages: List[str] = _field(default_factory=list)


def extension_folder() -> Path:
    """The folder holding the store (etc/isprops.xml), temp/ and output/:
    HALVO_HOME when set, else a per-user folder (as ``halvo --version`` says)."""
    return Path(_halvo.extension_folder())


def _text(value: Any) -> str:
    return "" if value is None else os.fspath(value) if isinstance(value, os.PathLike) else str(value)


def _is_file(coefficients: Any) -> bool:
    if isinstance(coefficients, os.PathLike):
        return True
    text = str(coefficients)
    return text.lower().endswith(".csv") or os.sep in text


def _scenario(s: Union[str, Tuple[PathLike, Union[str, int]]]) -> str:
    if isinstance(s, (tuple, list)):
        if len(s) != 2:
            raise HalvoError(f"scenario {s!r}: write it as PATH=CLASS or (PATH, CLASS)")
        return f"{_text(s[0])}={s[1]}"
    return _text(s)


def run(
    landcover: Optional[PathLike] = None,
    analysis: Optional[PathLike] = None,
    field: Optional[str] = None,
    *,
    coefficients: Optional[PathLike] = None,
    density: Union[str, DensityLayer, None] = None,
    scenarios: Sequence[Union[str, Tuple[PathLike, Union[str, int]]]] = (),
    coverage: str = "centre",
    output: Optional[PathLike] = None,
    layer_name: Optional[str] = None,
    html: bool = False,
    select: Optional[str] = None,
    units: Optional[str] = None,
    parameters: Optional[PathLike] = None,
    progress: Optional[ProgressCallback] = None,
    client: Any = None,
    threads: int = 0,
    wait: Optional[float] = None,
    yes: bool = False,
) -> Result:
    """Estimate impervious surface per zone from a land-cover raster and a coefficient set.

    Tabulate the raster inside each zone of the analysis layer (zones = distinct
    values of ``field``), apply the coefficient set, and write a shapefile with
    TotHects/TotAcres, TotISHec/TotISAcr, pctIS and Complete, a QGIS style
    (.qml) and the .prm and .met reports beside it. Complete is Y when all of a
    zone was counted; N when it touches NODATA cells, leaves the raster or the
    density layer (its areas leave that land out); empty, as are its figures,
    when no cell counted (no cell centre in a small zone: try coverage="exact").

    A layer is given as PATH (named after the file), "NAME=PATH", or
    "PATH|layername=LAYER" for one layer of a multi-layer source such as a
    GeoPackage.

    Options (each as ``halvo run``'s option of the same name):
      landcover     Land-cover raster (single band, integer classes)
      analysis      Polygon layer whose polygons are grouped into zones
      field         Field of the analysis layer whose values name the zones
      coefficients  Coefficient set of the store etc/isprops.xml (default: its
                    first set), or a comma-separated coefficient file
                    (Value,ClassName,High,Medium,Low; a path ending in .csv)
      density       Population density level applied everywhere: "high",
                    "medium" or "low" (default: "medium"); or
                    DensityLayer(layer, field, high, low) to choose it per
                    polygon piece (land outside the layer is left out)
      scenarios     Development scenarios, "PATH=CLASS" or (PATH, CLASS): land
                    inside PATH's polygons counts as CLASS (a class ID or name of
                    the coefficient set), applied in the order given (land in
                    several is recast by the first; one with no land left to
                    recast is skipped)
      coverage      How a land-cover cell counts for a zone: "centre" (wholly, in
                    the zone holding its centre) or "exact" (by the share of its
                    area inside the zone; for zones of a few cells)
      output        Output shapefile; ".shp" is added when missing, another
                    format's name (.gpkg ...) is refused (default: halvo.shp in
                    the extension folder's output folder). When its folder does
                    not exist, the run asks whether to write into that output
                    folder instead (yes=True: it does)
      layer_name    Name of the output layer and its reports <name>.prm and
                    <name>.met (default: the file's name)
      html          Also write <name>.html beside the reports: a page with the
                    zones on a map, their figures in a table and a chart
      select        Where clause (OGR SQL) selecting the analysis features to use,
                    e.g. '"HUC_ID" < 5' (default: all)
      units         Linear unit of the raster's coordinate system: "Meters" or
                    "Feet" (default: read from the raster)
      parameters    Run a parameter file saved by the analysis dialog or the
                    Processing algorithm instead of the options above (output and
                    layer_name may replace its output)
      progress      progress(stage, fraction) as the run goes; fraction is 0..1,
                    None when the stage cannot tell. With tqdm:
                        bar = tqdm(total=100)
                        def show(stage, f):
                            bar.set_description(stage); bar.n = round(100 * (f or 0)); bar.refresh()
                    An exception raised by it stops the run and is raised again.
      client        Count the raster on a Dask cluster: a distributed.Client, a
                    scheduler address, or "local" (a LocalCluster); see halvo.dask
      threads       Worker threads for tabulation, dissolve and overlay (0: all cores)
      wait          Seconds to wait for another run of this extension folder to
                    finish before giving up (default: until it finishes)
      yes           Answer OK/Yes to every question (without it, questions get
                    the cautious answer)

    Returns a Result: the output paths and the zones' figures as a DataFrame.
    Raises HalvoError with the message ``halvo run`` prints when the input is
    refused or the run fails, and KeyboardInterrupt on Ctrl-C (the run stops
    at its next check). Either way no output was written and an earlier output
    is as it was.

    Example:
      halvo.run(landcover="landcover.tif", analysis="watersheds.shp", field="NAME",
                coefficients="NLCD", density="medium", output="out/watersheds_is.shp")
      halvo.run(landcover="landcover.tif", analysis="watersheds.shp", field="NAME",
                density=halvo.DensityLayer("blockgroups.shp", "DENSITY", 500, 100),
                scenarios=["newdev.shp=23"], output="out/with_scenario.shp")
    """
    if coverage not in ("centre", "exact"):
        raise HalvoError(f"coverage {coverage!r} is not 'centre' or 'exact'")
    if units is not None and units not in ("Meters", "Feet"):
        raise HalvoError(f"units {units!r} is not 'Meters' or 'Feet'")
    c = _halvo.RunChoices()
    if parameters is not None:
        given = [name for name, value in (("landcover", landcover), ("analysis", analysis), ("field", field),
                                          ("coefficients", coefficients), ("density", density),
                                          ("scenarios", scenarios), ("select", select), ("units", units))
                 if value not in (None, (), [])] + (["coverage"] if coverage != "centre" else [])
        if given:
            raise HalvoError("parameters runs a saved parameter file with its own choices; "
                             f"give {', '.join(given)} there, not here")
        c.parameters = _text(parameters)
    c.landcover, c.analysis, c.field = _text(landcover), _text(analysis), _text(field)
    c.select, c.units = _text(select), _text(units)
    if coefficients is not None:
        if _is_file(coefficients):
            c.coefficients_csv = _text(coefficients)
        else:
            c.coefficients = _text(coefficients)
    if isinstance(density, DensityLayer):
        c.density_layer, c.density_field = _text(density.layer), density.field
        c.high, c.low = _text(density.high), _text(density.low)
    elif density is not None:
        if not isinstance(density, str):
            raise HalvoError("density is 'high', 'medium', 'low' or a halvo.DensityLayer")
        c.density = density
    c.scenarios = [_scenario(s) for s in scenarios]
    c.coverage = coverage
    c.output, c.layer_name = _text(output), _text(layer_name)
    c.html, c.yes, c.threads = bool(html), bool(yes), int(threads)
    c.wait = -1.0 if wait is None else float(wait)

    executor = None
    if client is not None:
        from . import dask as _dask

        executor = _dask.executor_for(client)
    try:
        answer = _halvo.run(c, progress, executor)
    finally:
        if executor is not None:
            executor.close()
    return _result(answer)


def _result(answer: dict) -> Result:
    feet = answer["units"] == "Feet"
    columns = ["TotAcres", "TotISAcr"] if feet else ["TotHects", "TotISHec"]
    zones = pandas.DataFrame(
        [(z, total, impervious, percent, complete) for z, total, impervious, percent, complete in answer["zones"]],
        columns=["zone", *columns, "pctIS", "Complete"],
    ).set_index("zone")
    path = lambda p: None if p is None else Path(p)  # noqa: E731
    return Result(
        output=Path(answer["shapefile"]),
        style=Path(answer["style"]),
        parameter_report=Path(answer["parameter_report"]),
        metadata_report=Path(answer["metadata_report"]),
        page=path(answer["page"]),
        units=answer["units"],
        zones=zones,
        skipped=list(answer["skipped"]),
        messages=list(answer["messages"]),
    )
