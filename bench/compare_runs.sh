#!/usr/bin/env bash
# Whole runs of two builds of halvo interleaved on the same case, so a noisy
# machine weighs on both alike; then their .dbf outputs compared byte for byte.
#   bench/compare_runs.sh OLD_HALVO NEW_HALVO [DATA_DIR]
set -uo pipefail
old=$1 new=$2 data=${3:-/tmp/halvo-bench}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for round in 1 2 3; do
  for which in before after; do
    if [ $which = before ]; then bin=$old; else bin=$new; fi
    for field in GRP ZONE; do
      /usr/bin/time -f "%e %M" -o $out/t $bin run --landcover $data/landcover.tif --analysis $data/zones.shp --field $field --coefficients NLCD --density medium --output $out/r_${which}_$field.shp --yes >/dev/null 2>&1
      echo "$round $which $field $(awk '{printf "%.2f %.0f", $1, $2/1024}' $out/t)"
    done
  done
done
cmp $out/r_before_ZONE.dbf $out/r_after_ZONE.dbf && echo "ZONE dbf identical"
cmp $out/r_before_GRP.dbf $out/r_after_GRP.dbf && echo "GRP dbf identical"
