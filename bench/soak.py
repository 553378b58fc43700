#!/usr/bin/python3
"""Soak: many Halvo runs in one QGIS process, through the Processing toolbox's path.

  QT_QPA_PLATFORM=offscreen bench/soak.py [--runs N] [--every K] [--build DIR] [--data DIR]

Loads the plugin library the way the qgis_process package does, and runs
halvo:imperviousbyzone as QGIS's toolbox does: a QgsProcessingAlgRunnerTask on
QGIS's task manager (prepared here, run on a worker thread), with the event loop
turning. The runs cycle through: a shapefile output, a GeoPackage output, a
GeoPackage run that fails (no such field) and a GeoPackage run cancelled part
way. Outputs are written over at each cycle, so the output folder holds a fixed
set of files. After every K runs it prints RSS, open file descriptors, GDAL's
open datasets and what is left in Halvo's temp/, QGIS's Processing temp folder
and the output folder beyond that set. Data: the Durham Third Fork land cover and
catchments of the shared real data (HALVO_SHARED_DATA, default /work/shared/data/real).
Not part of the test suite.
"""

import argparse
import ctypes
import ctypes.util
import os
import shutil
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def arguments():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--runs", type=int, default=200)
    p.add_argument("--every", type=int, default=20)
    p.add_argument("--build", default=os.environ.get("HALVO_BUILD_DIR", os.path.join(ROOT, "build")))
    p.add_argument("--data", default=os.environ.get("HALVO_SHARED_DATA", "/work/shared/data/real"))
    return p.parse_args()


def rss_mb():
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024.0
    return float("nan")


def open_fds():
    return len(os.listdir("/proc/self/fd"))


def entries(folder, keep=()):
    if not os.path.isdir(folder):
        return 0
    return sum(1 for name in os.listdir(folder) if name not in keep)


def main():
    args = arguments()
    land = os.path.join(args.data, "durham-thirdfork", "NLCD.tif")
    zones = os.path.join(args.data, "durham-thirdfork", "derived", "thirdfork_catchments_5070.gpkg")
    library = os.path.join(args.build, "ext", "halvo_ext.so")
    for needed in (land, zones, library):
        if not os.path.exists(needed):
            sys.exit(f"soak: {needed} is missing")

    scratch = tempfile.mkdtemp(prefix="halvo-soak.")
    home = os.path.join(scratch, "home")
    os.makedirs(os.path.join(home, "etc"))
    shutil.copy(os.path.join(ROOT, "etc", "isprops.xml"), os.path.join(home, "etc"))
    os.environ["HALVO_HOME"] = home
    out = os.path.join(scratch, "out")
    os.makedirs(out)

    from qgis.core import (QgsApplication, QgsProcessingAlgRunnerTask, QgsProcessingContext,
                           QgsProcessingFeedback, QgsProcessingUtils, QgsProject)
    from qgis.PyQt.QtCore import QCoreApplication

    QgsApplication.setPrefixPath("/usr", True)
    app = QgsApplication([], False)
    app.initQgis()
    halvo = ctypes.CDLL(library)
    halvo.halvoHoldProcessing()
    gdal = ctypes.CDLL(ctypes.util.find_library("gdal"))
    gdal.GDALGetOpenDatasets.argtypes = [ctypes.POINTER(ctypes.POINTER(ctypes.c_void_p)),
                                         ctypes.POINTER(ctypes.c_int)]

    def gdal_datasets():
        handles, count = ctypes.POINTER(ctypes.c_void_p)(), ctypes.c_int(0)
        gdal.GDALGetOpenDatasets(ctypes.byref(handles), ctypes.byref(count))
        return count.value

    registry = QgsApplication.processingRegistry()
    processing_temp = QgsProcessingUtils.tempFolder()
    common = {"LANDCOVER": land, "ZONES": zones + "|layername=catchments", "FIELD": "FEATUREID", "DENSITY": 1}
    kinds = [
        ("shp", dict(common, OUTPUT=os.path.join(out, "soak_shp.shp")), True),
        ("gpkg", dict(common, OUTPUT=os.path.join(out, "soak_gpkg.gpkg")), True),
        ("fail", dict(common, FIELD="NO_SUCH_FIELD", OUTPUT=os.path.join(out, "failed.gpkg")), False),
        ("cancel", dict(common, OUTPUT=os.path.join(out, "cancelled.gpkg")), False),
    ]
    # The fixed set of files the successful runs leave, each with its reports and style.
    expected = {f"soak_shp{ext}" for ext in (".shp", ".shx", ".dbf", ".prj", ".cpg", ".prm", ".met", ".qml")}
    expected |= {f"soak_gpkg{ext}" for ext in (".gpkg", ".prm", ".met", ".qml")}

    def run(parameters, cancel):
        context = QgsProcessingContext()
        context.setProject(QgsProject.instance())
        feedback = QgsProcessingFeedback()
        if cancel:
            feedback.progressChanged.connect(lambda p: p >= 20 and feedback.cancel())
        done = []
        alg = registry.algorithmById("halvo:imperviousbyzone")
        task = QgsProcessingAlgRunnerTask(alg, parameters, context, feedback)
        task.executed.connect(lambda ok, results: done.append(ok))
        if task.isCanceled():  # refused while being prepared: it never runs
            return False
        QgsApplication.taskManager().addTask(task)
        while QgsApplication.taskManager().count():
            QCoreApplication.processEvents()
            time.sleep(0.002)
        QCoreApplication.processEvents()
        return bool(done and done[0])

    print(f"soak: {args.runs} runs, a sample every {args.every}; scratch {scratch}")
    header = ("runs", "ok", "failed", "RSS MB", "fds", "GDAL datasets", "temp/", "Processing temp", "output extra",
              "s/run")
    print("| " + " | ".join(header) + " |")
    print("|" + "---|" * len(header))

    def sample(n, ok, bad, seconds):
        extra = entries(out, expected)
        print(f"| {n} | {ok} | {bad} | {rss_mb():.1f} | {open_fds()} | {gdal_datasets()} | "
              f"{entries(os.path.join(home, 'temp'))} | {entries(processing_temp)} | {extra} | {seconds:.3f} |",
              flush=True)

    sample(0, 0, 0, 0.0)
    ok = bad = 0
    unexpected = []
    started = time.monotonic()
    for i in range(1, args.runs + 1):
        kind, parameters, succeeds = kinds[(i - 1) % len(kinds)]
        result = run(parameters, kind == "cancel")
        ok, bad = ok + result, bad + (not result)
        if result != succeeds:
            unexpected.append(f"run {i} ({kind}) {'succeeded' if result else 'failed'}")
        if i % args.every == 0 or i == args.runs:
            sample(i, ok, bad, (time.monotonic() - started) / i)
    for line in unexpected:
        print("soak: unexpected: " + line)
    halvo.halvoReleaseProcessing()
    app.exitQgis()
    shutil.rmtree(scratch, ignore_errors=True)
    return 1 if unexpected else 0


if __name__ == "__main__":
    sys.exit(main())
