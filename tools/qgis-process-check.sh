#!/usr/bin/env bash
# Runs Halvo's Processing algorithm headless through qgis_process, as a user's
# script or a batch would: installs the plugin into a fresh profile, then a
# batch of two runs on the sample data (a shapefile and a GeoPackage output,
# the second with a density layer and a scenario) and a coefficient export.
#
#   tools/qgis-process-check.sh [--build DIR]
#
# Debian's /usr/bin/qgis_process wrapper passes an option the program refuses;
# the program itself, qgis_process.bin, is called when it exists.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${HALVO_BUILD_DIR:-$root/build}
[ "${1:-}" = --build ] && build=$2

qp=$(command -v qgis_process.bin || command -v qgis_process || true)
[ -n "$qp" ] || { echo "qgis-process-check: qgis_process is missing (tools/setup.sh installs qgis)" >&2; exit 1; }

work=$(mktemp -d /tmp/halvo-qgis-process.XXXXXX)
[ -n "${HALVO_KEEP_WORK:-}" ] || trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home" "$work/runtime" "$work/out"
chmod 700 "$work/runtime"
export HOME=$work/home XDG_DATA_HOME=$work/data-home XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=offscreen
unset HALVO_HOME
python3 "$root/tools/make_sample_data.py" "$work/data" >&2
"$root/tools/install-plugin.sh" --build "$build" >&2

fail() { echo "qgis-process-check: $*" >&2; exit 1; }

"$qp" list >"$work/list.txt" 2>"$work/list.err" || { cat "$work/list.err" >&2; fail "qgis_process list failed"; }
grep -q "halvo:imperviousbyzone" "$work/list.txt" || { cat "$work/list.err" >&2; fail "the Halvo provider is not listed"; }

# A density layer: the zones themselves with a number per zone.
ogr2ogr -q -dialect sqlite -sql "SELECT geometry, HUC_ID * 100 AS DENSITY FROM watersheds" \
  "$work/data/density.shp" "$work/data/watersheds.shp"
ogr2ogr -q -where "HUC_ID = 3" "$work/data/newdev.shp" "$work/data/watersheds.shp"

run() {
  local out=$1; shift
  "$qp" run halvo:imperviousbyzone -- LANDCOVER="$work/data/landcover.tif" ZONES="$work/data/watersheds.shp" \
    FIELD=NAME "$@" OUTPUT="$out" >"$work/run.out" 2>&1 || { cat "$work/run.out" >&2; fail "the run to $out failed"; }
  [ -f "$out" ] || { cat "$work/run.out" >&2; fail "no output $out"; }
}
run "$work/out/medium.shp" DENSITY=1
[ -f "$work/out/medium.prm" ] && [ -f "$work/out/medium.met" ] || fail "no reports beside medium.shp"
grep -q "PARAMETER_REPORT:.*medium.prm" "$work/run.out" || { cat "$work/run.out" >&2; fail "the parameter report is not among the results"; }
run "$work/out/scenario.gpkg" DENSITY=3 DENSITY_LAYER="$work/data/density.shp" DENSITY_FIELD=DENSITY HIGH=800 LOW=300 \
  SCENARIOS="$work/data/newdev.shp" SCENARIO_CLASSES=23
[ -f "$work/out/scenario.prm" ] || fail "no parameter report beside scenario.gpkg"
zones=$(ogrinfo -ro -q -sql "SELECT COUNT(*) AS n FROM scenario WHERE pctIS >= 0" "$work/out/scenario.gpkg" | sed -n 's/.*n (Integer) = //p')
[ "${zones:-0}" -gt 0 ] || fail "the GeoPackage output has no zones"

"$qp" run halvo:exportcoefficients -- COEFFICIENT_SET=0 OUTPUT="$work/out/set.csv" >"$work/run.out" 2>&1 ||
  { cat "$work/run.out" >&2; fail "the coefficient export failed"; }
head -1 "$work/out/set.csv" | grep -q "^Value,ClassName,High,Medium,Low" || fail "the exported file has no header"
echo "qgis-process-check: two runs and an export through $qp passed" >&2
