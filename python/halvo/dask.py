"""Halvo runs whose raster is counted on a Dask cluster.

``halvo.run(..., client=c)`` and ``halvo run ... --dask SCHEDULER|local``
cut every pass over the land-cover raster into row windows of whole blocks,
send each window (with the zone shapes it meets) to the cluster's workers,
which count its class tallies with the same engine, merge the tallies in
window order and finish the run where it started. The output is the same as
a local run's.

Every worker must reach the raster by the path the run was given: the same
files at the same path on every machine (a shared file system), or a GDAL
virtual path (/vsis3/..., /vsicurl/...) every worker can read. Workers need
this package installed (the same version as the run's).

A worker lost during a run costs only its windows: the scheduler counts them
again elsewhere. A window that fails is reported with its rows and the
engine's message.
"""

from __future__ import annotations

import logging
import math
import sys
import uuid
from typing import Any, Callable, List, Optional, Sequence, Tuple

from ._errors import HalvoError

__all__ = ["executor_for", "local_client", "WindowExecutor", "CONNECT_SECONDS"]

#: How long a scheduler address is tried before the run gives up.
CONNECT_SECONDS = 20
# Cells a window holds at most, so a window's reading stays short.
_MAX_WINDOW_CELLS = 1 << 26


def _scan_window(task: bytes) -> bytes:
    from . import _halvo

    # One thread a task: the worker runs as many tasks at once as it has threads.
    return _halvo.scan_window(task, 1)


def local_client(workers: Optional[int] = None, threads_per_worker: int = 1):
    """A Client of a LocalCluster of `workers` processes on this machine (default: one a core)."""
    from distributed import Client, LocalCluster

    cluster = LocalCluster(n_workers=workers, threads_per_worker=threads_per_worker, processes=True,
                           dashboard_address=None, silence_logs=logging.ERROR)
    return Client(cluster)


def connect(scheduler: str):
    """A Client of the scheduler at `scheduler` ("local": a new LocalCluster);
    HalvoError when it cannot be reached within CONNECT_SECONDS."""
    if scheduler == "local":
        return local_client()
    from distributed import Client

    try:
        return Client(scheduler, timeout=f"{CONNECT_SECONDS}s")
    except (OSError, TimeoutError) as e:
        raise HalvoError(f"The Dask scheduler '{scheduler}' cannot be reached within {CONNECT_SECONDS} s ({e}): "
                         "start it (dask-scheduler) or give its address as tcp://HOST:PORT") from None


class WindowExecutor:
    """Sends a run's window tasks to a Dask client; the engine calls it."""

    def __init__(self, client: Any, own: bool = False):
        self.client = client
        self._own = own

    def window_rows(self, height: int, width: int) -> int:
        """Rows a window should hold: about four windows a worker thread, each
        at most _MAX_WINDOW_CELLS cells (the engine rounds up to whole blocks)."""
        workers = self.client.scheduler_info().get("workers", {})
        threads = max(1, sum(w.get("nthreads", 1) for w in workers.values()))
        windows = max(4 * threads, math.ceil(height * width / _MAX_WINDOW_CELLS))
        return max(1, math.ceil(height / windows))

    def scan(self, tasks: Sequence[Tuple[int, int, bytes]], progress: Callable[[float], bool]) -> Optional[List[bytes]]:
        """The tallies of the (row begin, row end, task) windows, in their order;
        None when progress() answers False (the run was canceled)."""
        from distributed import wait

        run = uuid.uuid4().hex[:8]
        futures = [
            self.client.submit(_scan_window, task, key=f"halvo-window-{begin}-{end}-{run}", pure=False)
            for begin, end, task in tasks
        ]
        rows = {f.key: (begin, end) for f, (begin, end, _) in zip(futures, tasks)}
        try:
            pending = set(futures)
            while pending:
                try:
                    done, pending = wait(pending, timeout=0.5, return_when="FIRST_COMPLETED")
                except TimeoutError:
                    done = set()  # none finished yet: the run may have been canceled meanwhile
                for f in done:
                    if f.status == "error":
                        begin, end = rows[f.key]
                        raise HalvoError(f"The window of rows {begin} to {end - 1} failed on the cluster: "
                                         f"{f.exception()}")
                if not progress(1 - len(pending) / len(futures)):
                    return None
            return [f.result() for f in futures]
        finally:
            self.client.cancel(futures)

    def close(self) -> None:
        if self._own:
            cluster = getattr(self.client, "cluster", None)
            self.client.close()
            if cluster is not None:
                cluster.close()


def executor_for(client: Any) -> WindowExecutor:
    """The executor for halvo.run's client=: a Client, a scheduler address, "local",
    or a WindowExecutor as it is."""
    if isinstance(client, WindowExecutor):
        return client
    if isinstance(client, str):
        return WindowExecutor(connect(client), own=True)
    return WindowExecutor(client)


def main(argv: Sequence[str]) -> int:
    """`halvo run ... --dask SCHEDULER`: the same run, its raster counted on the cluster."""
    from . import _halvo

    args = list(argv)
    scheduler = None
    for i, a in enumerate(args):
        if a == "--dask" and i + 1 < len(args):
            scheduler = args[i + 1]
            del args[i:i + 2]
            break
        if a.startswith("--dask="):
            scheduler = a[len("--dask="):]
            del args[i]
            break
    if not scheduler:
        print("halvo: error: --dask needs a scheduler address or 'local'", file=sys.stderr)
        return 2
    try:
        executor = executor_for(scheduler)
    except HalvoError as e:
        print(f"halvo: error: {e}", file=sys.stderr)
        return 1
    try:
        return _halvo.command_line(args, executor)
    finally:
        executor.close()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
