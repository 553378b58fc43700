"""Runs counted on a Dask cluster of a scheduler and two workers on the
loopback address: the same .dbf as a local run, also with a worker killed
mid-run; an unreachable scheduler and a failing window are clear errors."""

import os
import re
import socket
import subprocess
import sys

import pytest

import halvo
from conftest import cli


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


@pytest.fixture
def cluster(tmp_path):
    address = f"tcp://127.0.0.1:{free_port()}"
    procs = [subprocess.Popen([sys.executable, "-m", "distributed.cli.dask_scheduler", "--host", "127.0.0.1",
                               "--port", address.rsplit(":", 1)[1], "--dashboard-address", ":0"],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)]
    # The workers run elsewhere: a relative path given to a run does not reach them.
    (tmp_path / "workers").mkdir()
    for _ in range(2):
        procs.append(subprocess.Popen([sys.executable, "-m", "distributed.cli.dask_worker", address, "--nthreads", "1",
                                       "--no-nanny", "--dashboard-address", ":0"], cwd=tmp_path / "workers",
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
    from distributed import Client

    client = Client(address, timeout="30s")
    client.wait_for_workers(2, timeout=60)
    yield client, procs[1:], address
    client.close()
    for p in procs:
        p.kill()
        p.wait()


def test_dask_runs(cluster, sample, durham, tmp_path, monkeypatch):
    client, workers, address = cluster
    runs = [
        ("plain", dict(landcover=sample / "landcover.tif", analysis=sample / "watersheds.shp", field="NAME")),
        ("exact", dict(landcover=sample / "landcover.tif", analysis=sample / "watersheds.shp", field="NAME",
                       coverage="exact")),
        ("density", dict(landcover=durham / "NLCD.tif", analysis=durham / "derived/thirdfork_catchments_5070.gpkg",
                         field="FEATUREID",
                         density=halvo.DensityLayer(durham / "derived/durham_blockgroups_pop_5070.gpkg",
                                                    "popdens_sqmi_2010", 5000, 1000),
                         scenarios=[(durham / "derived/durham_city_limits_5070.gpkg", 24)])),
    ]
    for folder in ("local", "dask", "cli", "fail"):
        (tmp_path / folder).mkdir()
    killed = []
    for name, kwargs in runs:
        halvo.run(**kwargs, output=tmp_path / "local" / f"{name}.shp", yes=True)

        def kill_one(stage, f):
            # The first window's progress: the other windows are on the workers.
            if f and not killed and name == "plain":
                workers[1].kill()
                killed.append(stage)

        halvo.run(**kwargs, output=tmp_path / "dask" / f"{name}.shp", yes=True, client=client, progress=kill_one)
        assert (tmp_path / "local" / f"{name}.dbf").read_bytes() == (tmp_path / "dask" / f"{name}.dbf").read_bytes(), name
    assert killed and workers[1].poll() is not None

    # The program's --dask, on the worker left.
    status, err = cli("run", "--landcover", sample / "landcover.tif", "--analysis", sample / "watersheds.shp",
                      "--field", "NAME", "--output", tmp_path / "cli" / "plain.shp", "--dask", address,
                      env={**os.environ, "HALVO_PYTHON": sys.executable})
    assert status == 0, err
    assert (tmp_path / "local" / "plain.dbf").read_bytes() == (tmp_path / "cli" / "plain.dbf").read_bytes()

    # A window the workers cannot count names its rows and the engine's message.
    monkeypatch.chdir(sample)
    with pytest.raises(halvo.HalvoError) as e:
        halvo.run(landcover="landcover.tif", analysis=sample / "watersheds.shp", field="NAME",
                  output=tmp_path / "fail" / "w.shp", client=client)
    assert re.match(r"The window of rows \d+ to \d+ failed on the cluster: Raster landcover.tif does not exist",
                    str(e.value)), str(e.value)

    with pytest.raises(halvo.HalvoError, match="cannot be reached within 20 s"):
        halvo.run(landcover=sample / "landcover.tif", analysis=sample / "watersheds.shp", field="NAME",
                  client=f"tcp://127.0.0.1:{free_port()}")
