#!/usr/bin/env bash
# Whole runs of two builds of halvo interleaved on the same case, so a noisy
# machine weighs on both alike; then their .dbf outputs compared byte for byte.
# Runs: by GRP and by ZONE (centre), by GRP exact, and by ZONE with density
# per piece of overlay.shp and two scenarios (made as bench/run_full.sh does).
#   bench/compare_runs.sh OLD_HALVO NEW_HALVO [DATA_DIR] [ROUNDS]
set -uo pipefail
old=$1 new=$2 data=${3:-/tmp/halvo-bench} rounds=${4:-3}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for s in "scen_a:LU_ID < 200" "scen_b:LU_ID >= 1000 AND LU_ID < 1200"; do
  [ -f "$data/${s%%:*}.shp" ] || ogr2ogr -where "${s#*:}" "$data/${s%%:*}.shp" "$data/overlay.shp"
done
args() {
  case $1 in
    GRP | ZONE) echo "--field $1 --density medium" ;;
    GRP_exact) echo "--field GRP --density medium --coverage exact" ;;
    dens) echo "--field ZONE --density-layer $data/overlay.shp --density-field LU_ID --high 1500 --low 500" \
      "--scenario $data/scen_a.shp=24 --scenario $data/scen_b.shp=22" ;;
  esac
}
for round in $(seq "$rounds"); do
  for which in before after; do
    if [ $which = before ]; then bin=$old; else bin=$new; fi
    for run in GRP ZONE GRP_exact dens; do
      # shellcheck disable=SC2046
      /usr/bin/time -f "%e %M" -o "$out/t" "$bin" run --landcover "$data/landcover.tif" --analysis "$data/zones.shp" \
        $(args $run) --coefficients NLCD --output "$out/r_${which}_$run.shp" --yes >/dev/null 2>&1
      echo "$round $which $run $(awk '{printf "%.2f %.0f", $1, $2/1024}' "$out/t")"
    done
  done
done
for run in GRP ZONE GRP_exact dens; do
  cmp "$out/r_before_$run.dbf" "$out/r_after_$run.dbf" && echo "$run dbf identical"
done
