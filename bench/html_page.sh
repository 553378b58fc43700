#!/usr/bin/env bash
# The output page of a large output: a made-up output shapefile of ZONES zones
# (a jittered grid of cells with stepped, raster-like edges, 5070 metres, the
# output's fields), its page made by `halvo report html`, and the page drawn
# by headless Chromium, REPEAT times (3) beside an empty page. Prints the
# page's size and the times.
#   bench/html_page.sh [ZONES] [DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
zones=${1:-100000}
dir=${2:-/tmp/halvo-bench-html}
halvo=${HALVO:-${HALVO_BUILD_DIR:-build}/ext/halvo}
mkdir -p "$dir"
shp=$dir/zones$zones.shp
if [ ! -f "$shp" ]; then
  /usr/bin/python3 - "$shp" "$zones" <<'PY'
import math, random, sys
from osgeo import ogr, osr
path, n = sys.argv[1], int(sys.argv[2])
random.seed(1)
side = math.ceil(math.sqrt(n))
cell = 300.0  # metres
# Shared corner points, jittered, so neighbours meet as they do in a real output.
corner = [[(i * cell + random.uniform(-60, 60), j * cell + random.uniform(-60, 60)) for j in range(side + 1)]
          for i in range(side + 1)]
def stepped(a, b, steps=6):
    # A 30 m stair-step line from a to b, like a boundary traced from raster cells.
    pts = []
    for k in range(steps):
        t0, t1 = k / steps, (k + 1) / steps
        x0, y0 = a[0] + (b[0] - a[0]) * t0, a[1] + (b[1] - a[1]) * t0
        x1, y1 = a[0] + (b[0] - a[0]) * t1, a[1] + (b[1] - a[1]) * t1
        pts += [(x0, y0), (x1, y0)]
    return pts
srs = osr.SpatialReference()
srs.ImportFromEPSG(5070)
ds = ogr.GetDriverByName("ESRI Shapefile").CreateDataSource(path)
layer = ds.CreateLayer("zones", srs, ogr.wkbPolygon)
for name, kind in (("FEATUREID", ogr.OFTInteger), ("TotHects", ogr.OFTReal), ("TotISHec", ogr.OFTReal),
                   ("pctIS", ogr.OFTReal), ("Complete", ogr.OFTString)):
    layer.CreateField(ogr.FieldDefn(name, kind))
defn = layer.GetLayerDefn()
count = 0
for i in range(side):
    for j in range(side):
        if count == n:
            break
        a, b, c, d = corner[i][j], corner[i + 1][j], corner[i + 1][j + 1], corner[i][j + 1]
        ring = ogr.Geometry(ogr.wkbLinearRing)
        for x, y in stepped(a, b) + stepped(b, c) + stepped(c, d) + stepped(d, a) + [a]:
            ring.AddPoint_2D(1_500_000 + x, 1_500_000 + y)
        poly = ogr.Geometry(ogr.wkbPolygon)
        poly.AddGeometry(ring)
        f = ogr.Feature(defn)
        f.SetGeometry(poly)
        total = poly.GetArea() / 10000
        pct = min(100.0, random.expovariate(1 / 15))
        f.SetField("FEATUREID", 1000000 + count)
        f.SetField("TotHects", total)
        f.SetField("TotISHec", total * pct / 100)
        f.SetField("pctIS", pct)
        f.SetField("Complete", "Y" if random.random() > 0.05 else "N")
        layer.CreateFeature(f)
        count += 1
ds = None
PY
fi
start=$(date +%s.%N)
"$halvo" report html "$shp" >/dev/null
made=$(date +%s.%N)
page=$dir/zones$zones.html
# Chromium's own times for the page: when loading ended, and when the frame
# after it was drawn, from the start of the navigation.
timing="<script>addEventListener('load',function(){requestAnimationFrame(function(){setTimeout(function(){
console.log('halvo-timing',Math.round(performance.getEntriesByType('navigation')[0].loadEventEnd),
Math.round(performance.now()))})})})</script>"
echo "<!DOCTYPE html><title>empty</title><p>empty$timing" >"$dir/empty.html"
{ cat "$page"; echo "$timing"; } >"$dir/timed$zones.html"
# Wall and page times from an ordinary run; the CPU time from a run in one
# process, where /usr/bin/time sees the renderer's share too.
chromium_run() {  # LOG SHOT URL [SWITCH]
  local profile
  profile=$(mktemp -d)
  /usr/bin/time -f '%e %U %S' -o "$dir/time" chromium --headless --no-sandbox --disable-gpu --disable-quic \
    --no-first-run --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$profile" --hide-scrollbars --window-size=1280,1600 --enable-logging=stderr --v=0 \
    --screenshot="$2" ${4:+"$4"} "$3" >/dev/null 2>"$1"
  rm -rf "$profile"
}
measure() {  # FILE NAME: prints wall s, CPU s, loaded ms, drawn ms
  local wall user sys times
  chromium_run "$dir/chromium.log" "$dir/$2.png" "file://$1"
  read -r wall _ _ <"$dir/time"
  times=$(grep -ao 'halvo-timing [0-9-]* [0-9-]*' "$dir/chromium.log" | cut -d' ' -f2-)
  chromium_run /dev/null "$dir/$2.png" "file://$1" --single-process
  read -r _ user sys <"$dir/time"
  printf '%s %.2f %s\n' "$wall" "$(echo "$user + $sys" | bc)" "$times"
}
printf 'zones %s, 49 vertices each, shapefile %s bytes\n' "$zones" "$(stat -c %s "$shp")"
printf 'page %s bytes (map paths %s bytes)\n' "$(stat -c %s "$page")" "$(grep -o '<path d="[^"]*"' "$page" | wc -c)"
printf 'halvo report html %.2f s\n' "$(echo "$made - $start" | bc)"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
echo 'page         wall s  CPU s  loaded ms  drawn ms'
for _ in $(seq "${REPEAT:-3}"); do
  printf 'empty        %s\n' "$(measure "$dir/empty.html" empty)"
  printf 'zones %-7s%s\n' "$zones" "$(measure "$dir/timed$zones.html" "zones$zones")"
done
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
