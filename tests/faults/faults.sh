#!/usr/bin/env bash
# Faults from outside, through the halvo program: folders that cannot be
# written, a disk that fills up, a run killed part-way, broken shapefiles and
# rasters. Each must end with a message naming the file, a non-zero exit, an
# empty temp/, no output that looks like a result and the store as it was.
# Folders are made read-only or full with real mounts in a mount namespace of
# their own and again with the preloaded shim (fault_shim.cpp), which alone
# can also fail a rename or kill the program after its k-th rename.
source "$(dirname "$0")/../repros/lib.sh"
: "${HALVO_FAULT_SHIM:?run through ctest}"
export SCRATCH HALVO SAMPLE ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0
store=$HALVO_HOME/etc/isprops.xml
cp "$store" "$SCRATCH/store.xml" && mkdir -p "$HALVO_HOME/temp" && printf '1,A,1,1,1\n' >"$SCRATCH/a.csv"
ways=(shim)
if unshare -m true 2>/dev/null; then ways=(mount shim); else echo "mount injection unavailable here: shim only" >&2; fi

# readonly WAY DIR: sets ro to a command prefix under which nothing below DIR can change.
readonly_() { if [ "$1" = mount ]; then ro=(unshare -m sh -c 'mount --bind "$0" "$0" && mount -o remount,ro,bind "$0" && exec "$@"' "$2")
  else ro=(env LD_PRELOAD="$HALVO_FAULT_SHIM" HALVO_FAULT_READONLY="$2"); fi; }
# full WAY DIR BYTES SCRIPT: bash SCRIPT where the empty DIR holds about BYTES.
full() { if [ "$1" = mount ]; then unshare -m bash -c "mount -t tmpfs -o size=$3 tmpfs '$2' && $4"
  else LD_PRELOAD=$HALVO_FAULT_SHIM HALVO_FAULT_FULL=$2 HALVO_FAULT_FULL_BYTES=$3 bash -c "$4"; fi; }
# go LANDCOVER ANALYSIS OUT [PREFIX...]: a run on these; output and status in $out, $status. run: on the sample.
go() { local l=$1 a=$2 o=$3; shift 3; set +e; out=$("$@" "$HALVO" run --landcover "$l" --analysis "$a" --field NAME --output "$o" 2>&1 </dev/null); status=$?; set -e; }
run() { go "$SAMPLE/landcover.tif" "$SAMPLE/watersheds.shp" "$@"; }
temp_empty() { [ -z "$(ls -A "$HALVO_HOME/temp" 2>/dev/null)" ]; }
# refused NAME OUT WORDS: the last run failed naming WORDS and left nothing of OUT.
refused() {
  check "$1: non-zero exit" test "$status" -ne 0
  check "$1: the message names $3" grep -qF -- "$3" <<<"$out"
  check "$1: temp/ empty" temp_empty
  check "$1: no partial output" test -z "$(find "$(dirname "$2")" -maxdepth 1 -name "$(basename "${2%.*}").*")"
  check "$1: no sanitizer report" bash -c '! grep -q "ERROR: AddressSanitizer" <<<"$1"' _ "$out"
}
snap() { (cd "$1" && md5sum "$2".*); }

for way in "${ways[@]}"; do
  mkdir -p "$SCRATCH/$way-locked"
  readonly_ "$way" "$SCRATCH/$way-locked" && run "$SCRATCH/$way-locked/out.shp" "${ro[@]}"
  refused "$way: read-only output folder" "$SCRATCH/$way-locked/out.shp" "$SCRATCH/$way-locked"
  readonly_ "$way" "$HALVO_HOME/temp" && run "$SCRATCH/out.shp" "${ro[@]}"
  refused "$way: read-only temp/" "$SCRATCH/out.shp" "$HALVO_HOME/temp"

  readonly_ "$way" "$HALVO_HOME/etc"
  for cmd in "import $SCRATCH/a.csv --name Mine" "merge $SCRATCH/store.xml"; do
    set +e; out=$("${ro[@]}" "$HALVO" coefficients $cmd 2>&1 </dev/null); status=$?; set -e
    check "$way: read-only etc/ on ${cmd%% *} fails naming the store and leaves it whole and alone" test "$status" -ne 0 \
      -a -n "$(grep -F "Failed To Save XML - verify the permissions to write to file '$store'" <<<"$out")" \
      -a "$(ls "$HALVO_HOME/etc")" = isprops.xml -a -z "$(cmp "$store" "$SCRATCH/store.xml")"
  done

  # etc/ with room for the store but not for a second copy beside it, and a set as big as the store's own.
  python3 -c 'import sys; sys.stdout.write("Value,ClassName,High,Medium,Low\r\n" + "".join(f"{i},A class with a long enough name to take room {i},1,2,3\r\n" for i in range(200)))' >"$SCRATCH/big.csv"
  rm -r "$HALVO_HOME/etc" && mkdir "$HALVO_HOME/etc"
  full "$way" "$HALVO_HOME/etc" $(($(stat -c %s "$SCRATCH/store.xml") * 3 / 2)) \
    'cp "$SCRATCH/store.xml" "$HALVO_HOME/etc/isprops.xml"; "$HALVO" coefficients import "$SCRATCH/big.csv" --name Big >"$SCRATCH/o" 2>&1 </dev/null
     echo "status $?"; cmp -s "$SCRATCH/store.xml" "$HALVO_HOME/etc/isprops.xml" && echo whole; ls "$HALVO_HOME/etc"
     "$HALVO" coefficients list >/dev/null 2>&1 </dev/null && echo listed' >"$SCRATCH/seen"
  check "$way: full etc/ refuses the import, store whole and alone" test "$(cat "$SCRATCH/seen")" = $'status 1\nwhole\nisprops.xml\nlisted'
  check "$way: full etc/ names the store" grep -qF isprops.xml "$SCRATCH/o"
  cp "$SCRATCH/store.xml" "$store"

  # Many zones of many vertices: an output of several hundred kilobytes on 64 KiB.
  [ -e "$SCRATCH/dense.shp" ] || ogr2ogr -segmentize 2 "$SCRATCH/dense.shp" "$SAMPLE/watersheds.shp"
  export SMALL=$SCRATCH/$way-small && mkdir -p "$SMALL"
  full "$way" "$SMALL" 65536 '"$HALVO" run --landcover "$SAMPLE/landcover.tif" --analysis "$SCRATCH/dense.shp" --field NAME \
    --output "$SMALL/out.shp" >"$SCRATCH/o" 2>&1 </dev/null; echo "status $?"; ls -A "$SMALL"' >"$SCRATCH/seen"
  check "$way: disk full fails and leaves the folder empty" test "$(cat "$SCRATCH/seen")" = "status 1"
  check "$way: disk full is said" grep -q "out.shp.*No space left on device" "$SCRATCH/o"
  check "$way: disk full leaves temp/ empty" temp_empty
done

# A failed rename while the output is put in place: the earlier output is put back whole.
mkdir "$SCRATCH/out" && run "$SCRATCH/out/out.shp"
before=$(snap "$SCRATCH/out" out)
check "FailedRename: an earlier output of eight files" test "$(wc -l <<<"$before")" -eq 8
run "$SCRATCH/out/out.shp" env LD_PRELOAD="$HALVO_FAULT_SHIM" HALVO_FAULT_RENAME_TO=/out.met
check "FailedRename: fails saying so" test "$status" -ne 0 -a -n "$(grep -F 'Cannot put' <<<"$out")"
check "FailedRename: the earlier output is back byte for byte" test "$(snap "$SCRATCH/out" out)" = "$before"
check "FailedRename: temp/ empty" temp_empty

# Killed at any step of putting the output in place: the next run into the folder
# leaves one whole set, the earlier one or, once every new file was in place, the new one.
three="NAME IN ('Mill Creek','Stony Run','Rocky Run')" step=1 completed=
while [ "$step" -lt 40 ]; do
  set +e; out=$(env LD_PRELOAD="$HALVO_FAULT_SHIM" HALVO_FAULT_KILL_AFTER_RENAME=$step "$HALVO" run --landcover "$SAMPLE/landcover.tif" \
    --analysis "$SAMPLE/watersheds.shp" --field NAME --select "$three" --output "$SCRATCH/out/out.shp" 2>&1 </dev/null); status=$?; set -e
  [ "$status" -eq 0 ] && break
  run "$SCRATCH/out/other.shp"
  now=$(snap "$SCRATCH/out" out)
  if [ "$now" != "$before" ]; then
    completed="$completed $step"
    for ext in shp shx dbf prm met; do
      check "KilledCommit step $step: out.$ext is the new one" test "$(grep " out.$ext$" <<<"$now")" != "$(grep " out.$ext$" <<<"$before")"
    done
    check "KilledCommit step $step: a whole set" test "$(wc -l <<<"$now")" -eq 8
  fi
  step=$((step + 1))
done
check "KilledCommit: eight files moved aside, eight put in place (step $step)" test "$step" -eq 17
check "KilledCommit: only the last step leaves the new set (got$completed)" test "$completed" = " 16"
check "KilledCommit: temp/ empty" temp_empty

rm -rf "$HALVO_HOME/temp" && run "$SCRATCH/out/out.shp"
check "a missing temp/ is made again" test "$status" -eq 0 -a -d "$HALVO_HOME/temp"
check "a missing temp/ is left empty" temp_empty

# A run stopped part-way leaves the earlier output byte for byte. SIGINT and SIGTERM
# end it cleanly (130, 143, its scratch removed); after SIGKILL the next run removes
# what it left and completes. The run is big enough to be still tabulating when a
# GeoPackage, copied into its scratch folder first, is the cue to stop it.
gdal_create -q -of GTiff -outsize 3000 3000 -ot Byte -burn 21 -a_srs EPSG:5070 -a_ullr 1500000 1600000 1530000 1570000 "$SCRATCH/big.tif"
printf 'WKT,NAME\n"POLYGON((1500000 1570000,1530000 1570000,1530000 1600000,1500000 1600000,1500000 1570000))",All\n' >"$SCRATCH/all.csv"
ogr2ogr -q -f GPKG -a_srs EPSG:5070 -oo KEEP_GEOM_COLUMNS=NO "$SCRATCH/all.gpkg" "$SCRATCH/all.csv"
before=$(snap "$SCRATCH/out" out)
set -m  # a job of its own: a background job of a script would ignore SIGINT
for sig in INT:130 TERM:143 KILL:137; do
  name=${sig%%:*}
  "$HALVO" run --landcover "$SCRATCH/big.tif" --analysis "$SCRATCH/all.gpkg" --field NAME --output "$SCRATCH/out/out.shp" \
    --threads 1 </dev/null >/dev/null 2>&1 &
  pid=$!
  until compgen -G "$HALVO_HOME/temp/*/tempAnalysis.shp" >/dev/null; do kill -0 "$pid" 2>/dev/null || break; sleep 0.001; done
  kill -"$name" "$pid" || true
  set +e; wait "$pid"; code=$?; set -e
  check "SIG$name: exit ${sig##*:} (got $code)" test "$code" -eq "${sig##*:}"
  if [ "$name" = KILL ]; then check "SIGKILL leaves its scratch" test -n "$(ls -A "$HALVO_HOME/temp")"
  else check "SIG$name: scratch removed" temp_empty; fi
  check "SIG$name: the earlier output unchanged" test "$(snap "$SCRATCH/out" out)" = "$before"
  run "$SCRATCH/out/out.shp"
  check "SIG$name: the next run completes and starts clean" test "$status" -eq 0 -a -z "$(ls -A "$SCRATCH/out" | grep '^\.halvo-staging-')"
  check "SIG$name: the next run leaves temp/ empty" temp_empty
  before=$(snap "$SCRATCH/out" out)
done
set +m

# Broken shapefiles: a missing part or a cut .shp is refused naming the layer.
for part in dbf shx shp; do
  mkdir "$SCRATCH/$part" && cp "$SAMPLE"/watersheds.* "$SCRATCH/$part/"
  if [ "$part" = shp ]; then truncate -s $(($(stat -c %s "$SCRATCH/shp/watersheds.shp") * 6 / 10)) "$SCRATCH/shp/watersheds.shp"
  else rm "$SCRATCH/$part/watersheds.$part"; fi
  go "$SAMPLE/landcover.tif" "$SCRATCH/$part/watersheds.shp" "$SCRATCH/$part/out.shp"
  refused "shapefile without its .$part (or cut)" "$SCRATCH/$part/out.shp" "$SCRATCH/$part/watersheds.shp"
done

# Invalid and empty geometries do not stop the run: beside a good zone (the north
# half of 10 x 10 one-hectare cells), a bow tie, an empty polygon, a feature without a shape.
gdal_create -q -of GTiff -outsize 10 10 -ot Byte -burn 21 -a_srs EPSG:5070 -a_ullr 1500000 1600000 1501000 1599000 "$SCRATCH/lc.tif"
printf 'WKT,NAME\n"%s",Good\n"%s",BowTie\n"POLYGON EMPTY",Empty\n,NoShape\n' \
  "POLYGON((1500000 1600000,1501000 1600000,1501000 1599500,1500000 1599500,1500000 1600000))" \
  "POLYGON((1500000 1599500,1501000 1599000,1501000 1599500,1500000 1599000,1500000 1599500))" >"$SCRATCH/odd.csv"
ogr2ogr -q -a_srs EPSG:5070 -oo KEEP_GEOM_COLUMNS=NO "$SCRATCH/odd.shp" "$SCRATCH/odd.csv"
go "$SCRATCH/lc.tif" "$SCRATCH/odd.shp" "$SCRATCH/odd-out.shp"
check "odd geometries: the run completes" test "$status" -eq 0
check "odd geometries: the good zone is 50 ha" awk -F, '$1 == "Good" && $2 + 0 == 50 { found = 1 } END { exit !found }' <(ogr2ogr -f CSV /vsistdout/ "$SCRATCH/odd-out.shp")
check "odd geometries: temp/ empty" temp_empty

# A tiled, compressed raster whose second tile is noise is refused naming the raster.
/usr/bin/python3 - "$SCRATCH/tiled.tif" <<'EOF'
import sys
from osgeo import gdal, osr
gdal.UseExceptions()
ds = gdal.GetDriverByName("GTiff").Create(sys.argv[1], 64, 64, 1, gdal.GDT_Byte, ["TILED=YES", "BLOCKXSIZE=16", "BLOCKYSIZE=16", "COMPRESS=DEFLATE"])
ds.SetGeoTransform([1500000, 100, 0, 1600000, 0, -100])
srs = osr.SpatialReference(); srs.ImportFromEPSG(5070); ds.SetSpatialRef(srs)
ds.GetRasterBand(1).WriteRaster(0, 0, 64, 64, bytes(41 if i % 5 == 0 else 21 for i in range(64 * 64)))
ds = None
ds = gdal.Open(sys.argv[1])
offset, size = (int(ds.GetRasterBand(1).GetMetadataItem(f"BLOCK_{k}_1_0", "TIFF")) for k in ("OFFSET", "SIZE"))
ds = None
with open(sys.argv[1], "r+b") as f:
    f.seek(offset); f.write(bytes((0xA5 ^ (i * 37)) & 0xFF for i in range(size)))
EOF
printf 'WKT,NAME\n"POLYGON((1500000 1593600,1506400 1593600,1506400 1600000,1500000 1600000,1500000 1593600))",All\n' >"$SCRATCH/wide.csv"
ogr2ogr -q -a_srs EPSG:5070 -oo KEEP_GEOM_COLUMNS=NO "$SCRATCH/wide.shp" "$SCRATCH/wide.csv"
go "$SCRATCH/tiled.tif" "$SCRATCH/wide.shp" "$SCRATCH/tile-out.shp"
refused "a corrupt raster tile" "$SCRATCH/tile-out.shp" "$SCRATCH/tiled.tif"
finish
