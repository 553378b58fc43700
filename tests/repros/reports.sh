#!/usr/bin/env bash
# The reports tell the truth about the data and how it was made, and the report reader stays in its folder.
source "$(dirname "$0")/lib.sh"
version=$("$HALVO" --version | sed -n '1s/^halvo //p')
mkdir "$SCRATCH/out" && run_halvo --output "$SCRATCH/out/ws.shp"
check "the run wrote the sample output" test "$status" -eq 0
met=$(tr -d '\r' <"$SCRATCH/out/ws.met") prm=$(tr -d '\r' <"$SCRATCH/out/ws.prm")

# The bounding coordinates are degrees (the sample lies near 78.9 W, 35.9 N), not the layer's metres.
check "bounding coordinates in degrees" awk -F': ' '/West_Bounding/ {w=$2} /East_Bounding/ {e=$2} /North_Bounding/ {n=$2}
  /South_Bounding/ {s=$2} END {exit !(w > -80 && w < e && e < -78 && s > 35 && s < n && n < 37)}' <<<"$met"
check "the record names this Halvo and its face" grep -qx "        This data set was created using Halvo $version, run from the command line." <<<"$met"
check "a default run adds no coverage lines" bash -c '! grep -q "Cell Coverage" <<<"$1" && ! grep -q "coverage)" <<<"$2"' _ "$prm" "$met"
check "Completeness_Report is one line" grep -qx "  Completeness_Report: Features Used: 15 of 15" <<<"$met"

# A layer name recorded as ../secret in the style file is not followed out of the folder.
echo SECRET >"$SCRATCH/secret.prm"
sed -i 's|\("halvo/layerName" type="QString" value="\)[^"]*"|\1../secret"|' "$SCRATCH/out/ws.qml"
check "report ignores a ../ layer name" bash -c 'grep -q "\.\./secret" "${1%.shp}.qml" &&
  "$HALVO" report prm "$1" | grep -q "Impervious surface analysis run"' _ "$SCRATCH/out/ws.shp"

# An unreadable report is said to be one, not a missing one.
chmod 755 "$SCRATCH" "$SCRATCH/out" && chmod 000 "$SCRATCH/out/ws.prm"
check "unreadable report: Permission denied" bash -c 'setpriv --reuid=65534 --regid=65534 --clear-groups "$HALVO" report prm "$1" 2>&1 |
  grep -q "Permission denied: .*ws.prm"' _ "$SCRATCH/out/ws.shp"
finish
