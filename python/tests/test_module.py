"""halvo from Python: the same runs and refusals as the program, progress,
Ctrl-C, and the coefficient sets."""

import os
import signal

import pytest
from osgeo import ogr

import halvo
from conftest import cli


def dbf_rows(shp):
    ds = ogr.Open(str(shp))
    layer = ds.GetLayer(0)
    return {f.GetField(0): (f.GetField("pctIS"), f.GetField("Complete")) for f in layer}


def test_runs_as_the_program_does(sample, durham, tmp_path):
    sets = [
        ("plain", dict(landcover=sample / "landcover.tif", analysis=sample / "watersheds.shp", field="NAME",
                       coefficients="NLCD", density="high"),
         ["--landcover", sample / "landcover.tif", "--analysis", sample / "watersheds.shp", "--field", "NAME",
          "--coefficients", "NLCD", "--density", "high"]),
        ("density", dict(landcover=durham / "NLCD.tif", analysis=durham / "derived/thirdfork_catchments_5070.gpkg",
                         field="FEATUREID", coverage="exact",
                         density=halvo.DensityLayer(durham / "derived/durham_blockgroups_pop_5070.gpkg",
                                                    "popdens_sqmi_2010", 5000, 1000),
                         scenarios=[(durham / "derived/durham_city_limits_5070.gpkg", 24)]),
         ["--landcover", durham / "NLCD.tif", "--analysis", durham / "derived/thirdfork_catchments_5070.gpkg",
          "--field", "FEATUREID", "--coverage", "exact", "--density-layer",
          durham / "derived/durham_blockgroups_pop_5070.gpkg", "--density-field", "popdens_sqmi_2010",
          "--high", "5000", "--low", "1000", "--scenario", f"{durham}/derived/durham_city_limits_5070.gpkg=24"]),
    ]
    (tmp_path / "py").mkdir()
    (tmp_path / "cli").mkdir()
    for name, kwargs, args in sets:
        seen = []
        r = halvo.run(**kwargs, output=tmp_path / "py" / f"{name}.shp", yes=True,
                      progress=lambda stage, f: seen.append((stage, f)))
        status, err = cli("run", *args, "--output", tmp_path / "cli" / f"{name}.shp", "--yes")
        assert status == 0, err
        assert (tmp_path / "py" / f"{name}.dbf").read_bytes() == (tmp_path / "cli" / f"{name}.dbf").read_bytes(), name
        assert r.output == tmp_path / "py" / f"{name}.shp" and r.style.exists() and r.metadata_report.exists()
        rows = dbf_rows(r.output)
        assert len(r.zones) == len(rows) > 0
        for zone, (pct, complete) in rows.items():
            assert r.zones.loc[str(zone), "pctIS"] == pytest.approx(pct or 0, abs=0.01), (name, zone)
            assert r.zones.loc[str(zone), "Complete"] == (complete != "N"), (name, zone)
        assert seen and all(f is None or 0 <= f <= 1 for _, f in seen)


def test_refuses_as_the_program_does(sample, tmp_path):
    lc, an = sample / "landcover.tif", sample / "watersheds.shp"
    base = ["--analysis", an, "--field", "NAME", "--output", tmp_path / "o.shp"]
    cases = [
        (dict(landcover=tmp_path / "none.tif"), ["--landcover", tmp_path / "none.tif"]),
        (dict(landcover=lc, coefficients="No such set"), ["--landcover", lc, "--coefficients", "No such set"]),
        (dict(landcover=lc, scenarios=[f"{an}=999"]), ["--landcover", lc, "--scenario", f"{an}=999"]),
        (dict(landcover=lc, density=halvo.DensityLayer(an, "HUC_ID", 1, 5)),
         ["--landcover", lc, "--density-layer", an, "--density-field", "HUC_ID", "--high", "1", "--low", "5"]),
    ]
    for kwargs, args in cases:
        with pytest.raises(halvo.HalvoError) as e:
            halvo.run(analysis=an, field="NAME", **{"output": tmp_path / "o.shp", **kwargs})
        status, err = cli("run", *base, *args)
        assert status == 1 and str(e.value) in err, (str(e.value), err)
        assert not (tmp_path / "o.shp").exists()


def test_stopping_keeps_the_earlier_output(sample, tmp_path, halvo_home):
    out = tmp_path / "out"
    out.mkdir()
    choices = dict(landcover=sample / "landcover.tif", analysis=sample / "watersheds.shp", field="NAME",
                   output=out / "w.shp")
    halvo.run(**choices)
    before = {p.name: p.read_bytes() for p in out.iterdir()}

    def ctrl_c(stage, f):
        os.kill(os.getpid(), signal.SIGINT)

    def broken(stage, f):
        raise ValueError("from the callback")

    for callback, raised in ((ctrl_c, KeyboardInterrupt), (broken, ValueError)):
        with pytest.raises(raised):
            halvo.run(**choices, progress=callback)
        assert {p.name: p.read_bytes() for p in out.iterdir()} == before
        assert not [p for p in (halvo_home / "temp").iterdir() if p.name.startswith("run-")]
    # Python's own Ctrl-C is back after the run.
    assert signal.getsignal(signal.SIGINT) is signal.default_int_handler


def test_coefficient_sets(sample, tmp_path):
    names = halvo.coefficients.list()
    assert names[0] == "NLCD"
    table = halvo.coefficients.show("NLCD")
    assert list(table.columns) == ["Value", "ClassName", "High", "Medium", "Low"]
    assert table.loc[table.Value == 22, "Medium"].item() == 35
    halvo.coefficients.export_csv("NLCD", tmp_path / "nlcd.csv")
    assert halvo.coefficients.import_csv(tmp_path / "nlcd.csv", "Copy") == "Copy"
    assert halvo.coefficients.list() == names + ["Copy"]
    assert halvo.coefficients.show("Copy").equals(table)
    for call, args in ((lambda: halvo.coefficients.show("Nope"), ["show", "Nope"]),
                       (lambda: halvo.coefficients.import_csv(tmp_path / "nlcd.csv", "Copy"),
                        ["import", tmp_path / "nlcd.csv", "--name", "Copy"]),
                       (lambda: halvo.coefficients.import_csv(tmp_path / "none.csv", "X"),
                        ["import", tmp_path / "none.csv", "--name", "X"])):
        with pytest.raises(halvo.HalvoError) as e:
            call()
        status, err = cli("coefficients", *args)
        assert status == 1 and str(e.value).splitlines()[0] in err, (str(e.value), err)
    # A run takes a set by name or a file by path.
    r = halvo.run(landcover=sample / "landcover.tif", analysis=sample / "watersheds.shp", field="NAME",
                  coefficients=tmp_path / "nlcd.csv", output=tmp_path / "csv.shp")
    assert len(r.zones) == 13
