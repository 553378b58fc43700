#!/usr/bin/env bash
# A national-sized case without writing its cells: the benchmark raster laid
# out COLS × ROWS times in a VRT mosaic, and the benchmark zones moved onto
# every tile (ZONE and GRP get the tile's suffix, so each tile has its own).
#   bench/national.sh [BENCH_DIR] [OUT_DIR] [COLS] [ROWS]
# BENCH_DIR holds the case of gen_data.py (default /tmp/halvo-bench); the
# default 8 × 5 tiles of 20000 × 20000 cells make 160 000 × 100 000 cells,
# 85 680 zones in 7 240 groups.
set -euo pipefail
bench=${1:-/tmp/halvo-bench}
out=${2:-/tmp/halvo-national}
cols=${3:-8}
rows=${4:-5}
tif=$(realpath "$bench/landcover.tif")
mkdir -p "$out"

read -r width height < <(gdalinfo "$tif" | awk '/^Size is/ { sub(",", "", $3); print $3, $4 }')
# Upper-left corner and cell size, from the tile's geotransform.
read -r x0 cell y0 < <(gdalinfo "$tif" | awk -F'[(),]' '/^Origin/ { o = $2 " " $3 } /^Pixel Size/ { p = $2 } END { split(o, a, " "); print a[1], p, a[2] }')
block=$(gdalinfo "$tif" | awk -F'[ =x]+' '/Block=/ { for (i = 1; i <= NF; ++i) if ($i == "Block") { print $(i + 1), $(i + 2); exit } }')
read -r bw bh <<<"$block"

{
  echo "<VRTDataset rasterXSize=\"$((width * cols))\" rasterYSize=\"$((height * rows))\">"
  echo "  <SRS>$(gdalsrsinfo -o wkt1 "$tif" | tr -d '\n' | sed 's/&/\&amp;/g; s/</\&lt;/g; s/>/\&gt;/g; s/"/\&quot;/g')</SRS>"
  echo "  <GeoTransform>$x0, $cell, 0, $y0, 0, -$cell</GeoTransform>"
  echo "  <VRTRasterBand dataType=\"Byte\" band=\"1\" blockXSize=\"$bw\" blockYSize=\"$bh\">"
  echo "    <NoDataValue>0</NoDataValue>"
  for ((r = 0; r < rows; ++r)); do
    for ((c = 0; c < cols; ++c)); do
      echo "    <SimpleSource><SourceFilename relativeToVRT=\"0\">$tif</SourceFilename><SourceBand>1</SourceBand>"
      echo "      <SrcRect xOff=\"0\" yOff=\"0\" xSize=\"$width\" ySize=\"$height\"/>"
      echo "      <DstRect xOff=\"$((c * width))\" yOff=\"$((r * height))\" xSize=\"$width\" ySize=\"$height\"/></SimpleSource>"
    done
  done
  echo "  </VRTRasterBand>"
  echo "</VRTDataset>"
} >"$out/landcover.vrt"

rm -f "$out"/zones.*
for ((r = 0; r < rows; ++r)); do
  for ((c = 0; c < cols; ++c)); do
    dx=$(awk -v c="$c" -v w="$width" -v s="$cell" 'BEGIN { printf "%.3f", c * w * s }')
    dy=$(awk -v r="$r" -v h="$height" -v s="$cell" 'BEGIN { printf "%.3f", -r * h * s }')
    ogr2ogr -append -nln zones -ct "+proj=affine +xoff=$dx +yoff=$dy" \
      -sql "SELECT ZID, CONCAT(ZONE, '_${c}_${r}') AS ZONE, CONCAT(GRP, '_${c}_${r}') AS GRP FROM zones" \
      "$out/zones.shp" "$bench/zones.shp"
  done
done
echo "$out/landcover.vrt: $((width * cols)) x $((height * rows)) cells; $out/zones.shp: $(ogrinfo -so -al "$out/zones.shp" | awk -F': ' '/Feature Count/ { print $2 }') zones"
