#!/usr/bin/env bash
# The model core: scenarios, density pieces and the raster pass.
source "$(dirname "$0")/lib.sh"
cd "$SCRATCH"
attrs() { ogr2ogr -f CSV /vsistdout/ "$1"; }
# layer NAME WKT...: an EPSG:5070 shapefile, one feature per WKT, field NAME "Z".
layer() { local f=$1; shift; printf 'WKT,NAME\n' >"$f.csv"; for w in "$@"; do printf '"%s",Z\n' "$w" >>"$f.csv"; done
  ogr2ogr -q -a_srs EPSG:5070 -oo KEEP_GEOM_COLUMNS=NO "$f.shp" "$f.csv"; }
# box X0 Y0 X1 Y1: a rectangle in metres from the grid's corner.
box() { local a=$((1500000 + $1)) b=$((1600000 + $2)) c=$((1500000 + $3)) d=$((1600000 + $4))
  echo "POLYGON(($a $b,$c $b,$c $d,$a $d,$a $b))"; }
run_lc() { set +e; out=$("$HALVO" run --landcover lc.tif --field NAME --yes "$@" 2>&1 </dev/null); status=$?; set -e; }
# 5 m cells of class 21 over one square kilometre.
gdal_create -q -of GTiff -outsize 200 200 -ot Byte -burn 21 -a_srs EPSG:5070 \
  -a_ullr 1500000 1601000 1501000 1600000 lc.tif

# A later scenario whose land left over by an earlier one holds no cell centre
# changes nothing: it is skipped, the run goes on.
layer zone "$(box 0 0 1000 1000)"
layer a "$(box 0 0 100 100)"
layer b "$(box 0 0 102 102)"
run_lc --analysis zone.shp --density medium --scenario a.shp=24 --scenario b.shp=22 --output o.shp
check "a later scenario's sliver of land does not stop the run" test "$status" -eq 0
check "the earlier scenario is applied" grep -q 'Changed land cover classes within a layer' o.prm
check "the sliver's scenario is said skipped" grep -q 'Skipped the scenario of the b layer' o.prm

# Each input is opened once and lent to every stage: a run with density pieces
# and two scenarios opens the analysis shapefile at most 3 times.
command -v strace >/dev/null || fail "strace is missing (tools/setup.sh installs it)"
printf 'WKT,DENS\n"%s",600\n"%s",50\n' "$(box 0 0 600 1000)" "$(box 500 0 1000 1000)" >dens.csv
ogr2ogr -q -a_srs EPSG:5070 -oo AUTODETECT_TYPE=YES -oo KEEP_GEOM_COLUMNS=NO dens.shp dens.csv
# LeakSanitizer cannot work under ptrace: a sanitizer build counts its opens without it.
ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" strace -f -e trace=openat,open -o opens.txt "$HALVO" run --landcover lc.tif --analysis zone.shp --field NAME --yes \
  --density-layer dens.shp --density-field DENS --high 500 --low 100 --scenario a.shp=24 --scenario b.shp=22 \
  --output opens.shp >/dev/null 2>&1 </dev/null
opened=$(grep -v ENOENT opens.txt | grep -c '/zone.shp"\|"zone.shp"' || true)
check "the analysis shapefile is opened at most 3 times (opened $opened)" test "$opened" -ge 1 -a "$opened" -le 3

# A stage's error lists the procedures it left, under their old names, though no stage catches.
printf 'WKT,DENS\n"%s",\n' "$(box 0 0 30 40)" >dens.csv
ogr2ogr -q -a_srs EPSG:5070 -oo AUTODETECT_TYPE=YES -oo KEEP_GEOM_COLUMNS=NO dens.shp dens.csv
layer small "$(box 0 0 40 40)"
run_lc --analysis small.shp --density-layer dens.shp --density-field DENS --high 500 --low 100 --output d.shp
chain=$(grep -E $'^\t[A-Za-z]+ cls' <<<"$out" | tr -d '\t ')
check "the error report lists the stage it left" test "$chain" = $'ExecuteModelclsISExecuteModel\nDensityCalculationclsPopulationDensity'
finish
