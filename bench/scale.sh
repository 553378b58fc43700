#!/usr/bin/env bash
# The benchmark case and one ten times its cells, side by side: tabulation and
# whole runs, wall time and peak memory; appends a "Scaling" section to
# bench/RESULTS.md.
#   bench/scale.sh [DATA_DIR] [BIG_DIR]
# The big case (63246 × 63246 cells) is made from the base case: its land cover
# tiled 4 × 4 and cut to size, its zones scaled by 63246 / 20000 about the
# raster's corner, so both cases have the same 2142 zones and 674 762 vertices.
# (gen_data.py --size 63246 gives an equivalent case, but takes hours here.)
set -euo pipefail
cd "$(dirname "$0")/.."
data=${1:-/tmp/halvo-bench}
big=${2:-/tmp/halvo-bench-10x}
build=${HALVO_BUILD_DIR:-build}
halvo="$build/ext/halvo"
[ -f "$data/landcover.tif" ] || { echo "make the base case first: bench/run_full.sh $data" >&2; exit 1; }

if [ ! -f "$big/landcover.tif" ]; then
  mkdir -p "$big"
  /usr/bin/python3 - "$data" "$big" <<'PY'
import sys
from osgeo import gdal, ogr
gdal.UseExceptions()
data, big = sys.argv[1], sys.argv[2]
N, T = 63246, 20000
src = gdal.Open(f"{data}/landcover.tif")
gt = src.GetGeoTransform()
parts = []
for r in range(4):
    for c in range(4):
        w, h = min(T, N - c * T), min(T, N - r * T)
        parts.append(f'<SimpleSource><SourceFilename relativeToVRT="0">{data}/landcover.tif</SourceFilename>'
                     f'<SourceBand>1</SourceBand><SrcRect xOff="0" yOff="0" xSize="{w}" ySize="{h}"/>'
                     f'<DstRect xOff="{c*T}" yOff="{r*T}" xSize="{w}" ySize="{h}"/></SimpleSource>')
srs = src.GetProjection().replace('"', '&quot;')
open(f"{big}/mosaic.vrt", "w").write(
    f'<VRTDataset rasterXSize="{N}" rasterYSize="{N}"><SRS>{srs}</SRS>'
    f'<GeoTransform>{",".join(map(str, gt))}</GeoTransform>'
    f'<VRTRasterBand dataType="Byte" band="1"><NoDataValue>0</NoDataValue>{"".join(parts)}</VRTRasterBand></VRTDataset>')
gdal.Translate(f"{big}/landcover.tif", f"{big}/mosaic.vrt",
               creationOptions=["TILED=YES", "BLOCKXSIZE=256", "BLOCKYSIZE=256", "COMPRESS=DEFLATE", "BIGTIFF=YES"])
k, x0, y0 = N / T, gt[0], gt[3]
zs = ogr.Open(f"{data}/zones.shp"); zl = zs.GetLayer()
out = ogr.GetDriverByName("ESRI Shapefile").CreateDataSource(f"{big}/zones.shp")
ol = out.CreateLayer("zones", zl.GetSpatialRef(), ogr.wkbPolygon)
d = zl.GetLayerDefn()
for i in range(d.GetFieldCount()):
    ol.CreateField(d.GetFieldDefn(i))
def scale(g):
    for i in range(g.GetGeometryCount()):
        scale(g.GetGeometryRef(i))
    for i in range(g.GetPointCount()):
        g.SetPoint_2D(i, x0 + (g.GetX(i) - x0) * k, y0 + (g.GetY(i) - y0) * k)
for f in zl:
    g = f.GetGeometryRef().Clone(); scale(g)
    o = ogr.Feature(ol.GetLayerDefn())
    for i in range(d.GetFieldCount()):
        o.SetField(i, f.GetField(i))
    o.SetGeometry(g); ol.CreateFeature(o)
out = None
PY
fi

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
row() {  # case field threads
  /usr/bin/time -f '%e %M' -o "$out/t" "$halvo" run --landcover "$1/landcover.tif" --analysis "$1/zones.shp" \
    --field "$2" --threads "$3" --coefficients NLCD --output "$out/r.shp" --yes > /dev/null 2> "$out/err" \
    || { cat "$out/err" >&2; exit 1; }
  awk -v c="$(basename "$1")" -v f="$2" -v t="$3" '{ printf "| %s | %s | %s | %.2f | %.0f |\n", c, f, t, $1, $2 / 1024 }' "$out/t"
}
{
  echo
  echo "## Scaling, $(date -u +%Y-%m-%d) (load $(cut -d' ' -f1 /proc/loadavg) at the start)"
  echo
  echo "Command: \`bench/scale.sh $data $big\`; the big case has 10.0 × the cells and the same zones."
  echo
  echo "| case | field | threads | wall s | peak MiB |"
  echo "|---|---|---|---|---|"
  for c in "$data" "$big"; do
    row "$c" ZONE 2
    row "$c" GRP 2
    row "$c" ZONE 1
  done
  echo
  for c in "$data" "$big"; do
    echo "\`bench_tabulate --data $c\`:"
    echo
    echo '```'
    "$build/bench/bench_tabulate" --data "$c" --repeat 2
    echo '```'
    echo
  done
} | tee -a bench/RESULTS.md
