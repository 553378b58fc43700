#!/usr/bin/env bash
# Faults of the Processing face that the engine shares with the CLI. The
# GeoPackage output itself (N2, N15) needs QGIS: see
# Processing.GeoPackageOutputIsOneLayerOfTheFile in tests/desktop_plugin.
source "$(dirname "$0")/lib.sh"

# N7: a zone field copied out of a GeoPackage keeps its name in the output and the report.
ogr2ogr -f GPKG "$SCRATCH/zones.gpkg" "$SAMPLE/watersheds.shp" -nln zones
run_halvo_gpkg() { "$HALVO" run --landcover "$SAMPLE/landcover.tif" --analysis "$SCRATCH/zones.gpkg|layername=zones" \
  --field NAME --output "$SCRATCH/out.shp" </dev/null >/dev/null; }
check "N7 run" run_halvo_gpkg
check "N7 output field NAME" grep -q "^NAME: " <(ogrinfo -so "$SCRATCH/out.shp" out)
check "N7 report" grep -q "Analysis Field: NAME" "$SCRATCH/out.prm"
finish
