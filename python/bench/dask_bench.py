#!/usr/bin/python3
"""The benchmark case run locally and on LocalClusters of 1 and 2 workers.

    PYTHONPATH=build/python python3 python/bench/dask_bench.py DATA_DIR FIELD [RASTER]

DATA_DIR holds the case of gen_data.py (landcover.tif, zones.shp); RASTER
replaces its landcover.tif (the national VRT of bench/national.sh). Prints one
line per route (wall seconds, the .dbf the same as the local run's or not),
then the windows' figures (REPEAT=N: best of N runs, default 2): cells a second on one worker thread, the tally
sizes and what merging them costs here.
"""

import os
import sys
import tempfile
import time
from pathlib import Path

from distributed import Client, LocalCluster, get_task_stream

import halvo
import halvo.dask
from halvo import _halvo

def main():
    data, field = Path(sys.argv[1]), sys.argv[2]
    repeat = int(os.environ.get("REPEAT", "2"))  # best of
    raster = Path(sys.argv[3]) if len(sys.argv) > 3 else data / "landcover.tif"
    out = Path(tempfile.mkdtemp(prefix="halvo-dask-bench-"))
    choices = dict(landcover=raster, analysis=data / "zones.shp", field=field, coefficients="NLCD",
                   density="medium", yes=True)


    def timed(name, **kw):
        start = time.perf_counter()
        halvo.run(**choices, output=out / f"{name}.shp", **kw)
        return time.perf_counter() - start




    class Recording(halvo.dask.WindowExecutor):
        """Keeps the tallies the workers answer, to time their merge."""

        scans = []

        def scan(self, tasks, progress):
            answers = super().scan(tasks, progress)
            self.scans.append(answers or [])
            return answers


    local = min(timed("local") for _ in range(repeat))
    print(f"local (2 threads)          {local:8.2f} s")
    cells = None
    for workers in (1, 2):
        with LocalCluster(n_workers=workers, threads_per_worker=1, processes=True, dashboard_address=None) as cluster, \
                Client(cluster) as client:
            executor = Recording(client)
            with get_task_stream(client) as stream:
                took = min(timed(f"dask{workers}", client=executor) for _ in range(repeat))
            same = (out / f"dask{workers}.dbf").read_bytes() == (out / "local.dbf").read_bytes()
            busy = [sum(s["stop"] - s["start"] for s in t["startstops"] if s["action"] == "compute")
                    for t in stream.data if str(t["key"]).startswith("halvo-window")]
            print(f"LocalCluster {workers} worker(s)  {took:8.2f} s  .dbf same as local: {same}  "
                  f"window tasks {len(busy)}, their compute {sum(busy):.2f} s")

    last = Recording.scans[-1]
    windows = len(last)
    start = time.perf_counter()
    _halvo.merge_tallies(last, int.from_bytes(last[0][:4], "little"))
    merge = time.perf_counter() - start
    print(f"one run: {windows} windows, tallies {sum(map(len, last)) / windows / 1024:.1f} KiB each, "
          f"merged in {merge * 1000:.1f} ms ({merge / windows * 1000:.2f} ms a window)")


if __name__ == "__main__":
    main()
