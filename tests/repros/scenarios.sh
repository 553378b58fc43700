# Development scenarios, the density layer's cover and damaged or odd geometry.
source "$(dirname "$0")/lib.sh"
D=$HALVO_SHARED_DATA/durham-thirdfork
cd "$SCRATCH"
mkdir -p same other out
# attrs SHP: the output's attribute table as text.
attrs() { ogr2ogr -f CSV /vsistdout/ "$1"; }
# layer NAME WKT [FIELD VALUE]: a one-feature EPSG:5070 shapefile.
layer() { printf 'WKT,%s\n"%s",%s\n' "${3:-NAME}" "$2" "${4:-Z}" >"$1.csv"
  ogr2ogr -q -a_srs EPSG:5070 -oo AUTODETECT_TYPE=YES -oo KEEP_GEOM_COLUMNS=NO "$1.shp" "$1.csv"; }
# box X0 Y0 X1 Y1: a rectangle in metres from the grid's corner.
box() { local a=$((1500000 + $1)) b=$((1600000 + $2)) c=$((1500000 + $3)) d=$((1600000 + $4))
  echo "POLYGON(($a $b,$c $b,$c $d,$a $d,$a $b))"; }
# run_lc ARGS...: a run on lc.tif (below); output and status in $out, $status.
run_lc() { set +e; out=$("$HALVO" run --landcover lc.tif --field NAME --yes "$@" 2>&1 </dev/null); status=$?; set -e; }

# A scenario X.gpkg beside the analysis layer X.shp is its own layer, not the analysis layer.
ogr2ogr -q same/area.shp "$D/derived/thirdfork_catchments_5070.gpkg"
ogr2ogr -q -dialect sqlite -sql "SELECT ST_Buffer(ST_Centroid(geom), 150) AS geom FROM catchments LIMIT 1" \
  -nln area same/area.gpkg "$D/derived/thirdfork_catchments_5070.gpkg"
ogr2ogr -q -nln small other/small.gpkg same/area.gpkg
for s in same/area.gpkg other/small.gpkg; do
  "$HALVO" run --landcover "$D/NLCD.tif" --analysis same/area.shp --field FEATUREID --density medium \
    --scenario "$s=24" --output "out/$(basename "$s" .gpkg).shp" >/dev/null 2>&1 </dev/null
done
same_attrs() { [ -s "$1" ] && [ -s "$2" ] && [ "$(attrs "$1")" = "$(attrs "$2")" ]; }
check "X.gpkg beside X.shp is intersected like any scenario" same_attrs out/area.shp out/small.shp

# 5 m cells of class 21 over one square kilometre.
gdal_create -q -of GTiff -outsize 200 200 -ot Byte -burn 21 -a_srs EPSG:5070 \
  -a_ullr 1500000 1601000 1501000 1600000 lc.tif

# Density polygons that overlap: the zone's cover is their union (x 0-35 of 40).
layer zone "$(box 0 0 40 40)"
printf 'WKT,DENS\n"%s",600\n"%s",600\n' "$(box 0 0 30 40)" "$(box 20 0 35 40)" >dens.csv
ogr2ogr -q -a_srs EPSG:5070 -oo AUTODETECT_TYPE=YES -oo KEEP_GEOM_COLUMNS=NO dens.shp dens.csv
run_lc --analysis zone.shp --density-layer dens.shp --density-field DENS --high 500 --low 100 --output out/cover.shp
check "a zone partly outside overlapping density polygons is incomplete" \
  grep -q '^Z,.*,N$' <(attrs out/cover.shp)
check "the left-out land is the part outside their union" \
  grep -q 'Left Out: 1 zone(s) partly or wholly outside the population density layer (0.02 ha)' out/cover.prm
# Cut exactly, land under two of them of different levels counts once, as by the centre rule: 0.14 ha, not 0.18.
printf 'WKT,DENS\n"%s",600\n"%s",50\n' "$(box 0 0 30 40)" "$(box 20 0 35 40)" >levels.csv
ogr2ogr -q -a_srs EPSG:5070 -oo AUTODETECT_TYPE=YES -oo KEEP_GEOM_COLUMNS=NO levels.shp levels.csv
run_lc --analysis zone.shp --density-layer levels.shp --density-field DENS --high 500 --low 100 --coverage exact \
  --output out/cover_exact.shp
check "exact cover counts land under overlapping density polygons once" grep -q '^Z,0.140000,' <(attrs out/cover_exact.shp)

# --density with --density-layer is refused, not silently ignored.
run_halvo --density high --density-layer dens.shp --density-field DENS --high 500 --low 100 --output out/d.shp
check "--density with --density-layer refused" grep -q "give one of them, not both" <<<"$out"

# A hole drawn as a loop of its shell stays a hole (36 ha less 2.25 ha).
layer loop "POLYGON((1500000 1600000,1500600 1600000,1500600 1600600,1500300 1600600,1500300 1600300,\
1500450 1600450,1500300 1600600,1500000 1600600,1500000 1600000))"
run_lc --analysis loop.shp --coverage exact --output out/loop.shp
check "a self-touching loop is a hole" grep -q '^Z,33.75' <(attrs out/loop.shp)

# A ring that does not close (a damaged .shp) is closed, and the run says so.
layer open "$(box 0 0 40 40)"
python3 - open.shp <<'EOF'
import struct, sys
with open(sys.argv[1], "r+b") as f:  # the last point of the only ring: x moved 10 m
    f.seek(-16, 2); x = struct.unpack("<d", f.read(8))[0]; f.seek(-16, 2); f.write(struct.pack("<d", x + 10))
EOF
run_lc --analysis open.shp --output out/open.shp
check "an unclosed ring is told" grep -q "1 feature of the layer 'open' had a polygon ring that did not end" <<<"$out"
finish
