#!/usr/bin/env bash
# Whole runs of halvo on the shared benchmark case, beside the fastest known
# route for the tabulation alone; appends the figures to bench/RESULTS.md.
#   bench/run_full.sh [DATA_DIR] [SIZE]
# DATA_DIR defaults to /tmp/halvo-bench; the case is generated there when missing.
set -euo pipefail
cd "$(dirname "$0")/.."
data=${1:-/tmp/halvo-bench}
size=${2:-20000}
build=${HALVO_BUILD_DIR:-build}
halvo="$build/ext/halvo"
[ -x "$halvo" ] || { echo "build first: tools/setup.sh" >&2; exit 1; }
if [ ! -f "$data/landcover.tif" ]; then
  echo "generating the benchmark case in $data (several minutes)" >&2
  /usr/bin/python3 ../shared/bench/gen_data.py --out "$data" --size "$size" >&2
fi

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# Runs a command, printing "<wall seconds> <peak MiB>".
measure() {
  local log="$out/time.log"
  /usr/bin/time -f '%e %M' -o "$log" "$@" > /dev/null 2> "$out/stderr.log" || { cat "$out/stderr.log" >&2; return 1; }
  awk '{ printf "%.2f %.0f\n", $1, $2 / 1024 }' "$log"
}

run_halvo() {  # field [coverage]
  measure "$halvo" run --landcover "$data/landcover.tif" --analysis "$data/zones.shp" --field "$1" \
    --coefficients NLCD --density medium --coverage "${2:-centre}" --output "$out/result_$1.shp" --yes
}

# Scenario layers: two sets of 200 polygons of the overlay tessellation.
for s in "scen_a:LU_ID < 200" "scen_b:LU_ID >= 1000 AND LU_ID < 1200"; do
  [ -f "$data/${s%%:*}.shp" ] || ogr2ogr -where "${s#*:}" "$data/${s%%:*}.shp" "$data/overlay.shp"
done

run_dens() {  # coverage
  measure "$halvo" run --landcover "$data/landcover.tif" --analysis "$data/zones.shp" --field ZONE \
    --coefficients NLCD --density-layer "$data/overlay.shp" --density-field LU_ID --high 1500 --low 500 \
    --scenario "$data/scen_a.shp=24" --scenario "$data/scen_b.shp=Developed - Low Intensity" \
    --coverage "$1" --output "$out/result_dens.shp" --yes
}

grp=$(run_halvo GRP)
dens=$(run_dens centre)
zone=$(run_halvo ZONE)
grp_exact=$(run_halvo GRP exact)
zone_exact=$(run_halvo ZONE exact)
dens_exact=$(run_dens exact)
anchor=$(measure /usr/bin/python3 ../shared/bench/bench_zonal.py fused --data "$data" --out "$out/fused.csv")
ratio=$(awk -v a="${anchor% *}" -v g="${grp% *}" -v z="${zone% *}" 'BEGIN { m = g > z ? g : z; printf "%.1f", a / m }')

{
  echo
  echo "## Whole run, $(date -u +%Y-%m-%d) ($(nproc) cores, raster $(gdalinfo "$data/landcover.tif" | awk '/^Size is/ { print $3 $4 }'))"
  echo
  echo "Command: \`bench/run_full.sh $data\`"
  echo
  echo "| what | wall s | peak MiB |"
  echo "|---|---|---|"
  echo "| halvo run by GRP (181 groups) | ${grp% *} | ${grp#* } |"
  echo "| halvo run by ZONE (2142 zones) | ${zone% *} | ${zone#* } |"
  echo "| halvo run by ZONE, density per piece from overlay.shp (2146 polygons), two scenarios of 200 polygons | ${dens% *} | ${dens#* } |"
  echo "| the same three with \`--coverage exact\`: by GRP | ${grp_exact% *} | ${grp_exact#* } |"
  echo "| by ZONE, exact | ${zone_exact% *} | ${zone_exact#* } |"
  echo "| by ZONE, density per piece, two scenarios, exact | ${dens_exact% *} | ${dens_exact#* } |"
  echo "| anchor: bench_zonal.py fused (tabulation only) | ${anchor% *} | ${anchor#* } |"
  echo
  echo "The slower whole run is ${ratio}× faster than the anchor's tabulation alone."
  echo
  echo "Vector stages alone (\`build/bench/bench_vector --data $data\`):"
  echo
  "$build/bench/bench_vector" --data "$data" --repeat 3
} | tee -a bench/RESULTS.md
