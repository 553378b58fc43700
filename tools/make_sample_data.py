#!/usr/bin/python3
"""Writes a small, realistic sample case for a Halvo run.

    python3 tools/make_sample_data.py OUTDIR

OUTDIR receives:
  landcover.tif   600 x 500 cells of 30 m, uint8, EPSG:5070, NODATA 0: an urban
                  core fading into suburbs, forest and farmland, a meandering
                  river with wetlands, a ragged NODATA band along the east edge
  watersheds.shp  13 zones (15 polygons) in EPSG:5070 with fields NAME (text)
                  and HUC_ID (integer); two zones are made of two polygons
                  each, and one zone reaches past the west edge of the raster

The output depends only on the fixed seed below: running it again rewrites the
same files. Needs Debian's python3-gdal and python3-numpy.
"""
import os
import sys

try:
    import numpy as np
    from osgeo import gdal, ogr, osr
except ImportError:
    # A private Python (pyenv, venv) usually lacks the Debian GDAL bindings;
    # the system interpreter has them.
    if os.path.exists("/usr/bin/python3") and os.path.realpath(sys.executable) != os.path.realpath("/usr/bin/python3"):
        os.execv("/usr/bin/python3", ["/usr/bin/python3"] + sys.argv)
    raise

gdal.UseExceptions()
ogr.UseExceptions()

SEED = 20261205
EPSG = 5070
CELL = 30.0
COLS, ROWS = 600, 500
X0, Y0 = 1_512_000.0, 1_575_000.0  # upper-left corner, metres

# Zones come from a coarser label grid. Its step and origin are chosen so that
# no zone edge runs through a land-cover cell centre (15 + 30k never equals
# 7 + 45j), which keeps "is this cell in the zone" free of ties.
ZONE_CELL = 45.0
ZONE_OFFSET = 7.0

# National land-cover legend: class -> (name, RGB), for the colour table.
LEGEND = {
    11: ("Open Water", (70, 107, 159)),
    21: ("Developed, Open Space", (222, 197, 197)),
    22: ("Developed, Low Intensity", (217, 146, 130)),
    23: ("Developed, Medium Intensity", (235, 0, 0)),
    24: ("Developed, High Intensity", (171, 0, 0)),
    31: ("Barren Land", (179, 172, 159)),
    41: ("Deciduous Forest", (104, 171, 95)),
    42: ("Evergreen Forest", (28, 95, 44)),
    43: ("Mixed Forest", (181, 197, 143)),
    52: ("Shrub/Scrub", (204, 184, 121)),
    71: ("Grassland/Herbaceous", (223, 223, 194)),
    81: ("Pasture/Hay", (220, 217, 57)),
    82: ("Cultivated Crops", (171, 108, 40)),
    90: ("Woody Wetlands", (184, 217, 235)),
    95: ("Emergent Herbaceous Wetlands", (108, 159, 184)),
}

ZONES = [  # NAME, HUC_ID
    ("Mill Creek", 401101),
    ("Stony Run", 401102),
    ("Beaver Branch", 401103),
    ("Cedar Fork", 401104),
    ("Little River", 401105),
    ("Town Branch", 401106),
    ("Sandy Creek", 401107),
    ("Panther Creek", 401108),
    ("Rocky Run", 401109),
    ("Turkey Creek", 401110),
    ("Hickory Branch", 401111),
    ("Otter Creek", 401112),
    ("Lake Outfall", 401113),  # the one that reaches past the raster
]
OUTFALL = len(ZONES) - 1


def smooth_noise(rng, rows, cols, step):
    """Values in [0, 1) that vary smoothly over about `step` cells."""
    coarse = rng.random((rows // step + 2, cols // step + 2))
    r = np.arange(rows) / step
    c = np.arange(cols) / step
    ri, ci = r.astype(int), c.astype(int)
    fr, fc = (r - ri)[:, None], (c - ci)[None, :]
    top = coarse[ri][:, ci] * (1 - fc) + coarse[ri][:, ci + 1] * fc
    bottom = coarse[ri + 1][:, ci] * (1 - fc) + coarse[ri + 1][:, ci + 1] * fc
    return top * (1 - fr) + bottom * fr


def river_row(col):
    """Row of the river's centre line at a column: a meander across the map."""
    return 330 + 38 * np.sin(col / 70.0) + 14 * np.sin(col / 23.0 + 1.0) - 0.12 * col


def land_cover(rng):
    row, col = np.mgrid[0:ROWS, 0:COLS].astype(float)
    relief = smooth_noise(rng, ROWS, COLS, 60)
    detail = smooth_noise(rng, ROWS, COLS, 12)
    forest_kind = smooth_noise(rng, ROWS, COLS, 40)

    # Urbanness: a city core and a smaller town, made ragged by noise and
    # stretched along two roads.
    core = np.hypot((row - 190) / 1.1, col - 230)
    town = np.hypot(row - 110, (col - 480) / 1.3)
    urban = np.maximum(1 - core / 190, 0.8 * (1 - town / 95))
    road1 = np.abs(row - (0.45 * col + 90)) < 2.0
    road2 = np.abs(col - (0.25 * row + 300)) < 1.5
    urban = urban + 0.25 * (detail - 0.5)
    urban = np.where(road1 | road2, np.maximum(urban, 0.45), urban)

    # Farmland comes in rectangular fields, each pasture or crops.
    fields = rng.random((ROWS // 9 + 1, COLS // 14 + 1))
    field = fields[(row // 9).astype(int), (col // 14).astype(int)]
    farm = (relief < 0.45) & (row > 230)

    lc = np.where(forest_kind < 0.5, 41, np.where(forest_kind < 0.72, 43, 42)).astype(np.uint8)
    lc[farm] = np.where(field[farm] < 0.55, 82, 81)
    lc[(relief > 0.45) & (relief < 0.5) & (detail > 0.5)] = 71
    lc[(relief > 0.72) & (detail < 0.35)] = 52
    lc[urban > 0.38] = 21
    lc[urban > 0.50] = 22
    lc[urban > 0.66] = 23
    lc[urban > 0.82] = 24
    lc[np.hypot(row - 440, col - 90) < 9 + 4 * detail] = 31  # a quarry

    # The river and its floodplain wetlands win over everything else.
    off = np.abs(row - river_row(col))
    width = 2.0 + 1.5 * detail
    wetland = (off < width + 4 + 10 * relief) & (urban < 0.66)
    lc[wetland & (detail > 0.45)] = 90
    lc[wetland & (detail > 0.70)] = 95
    lc[off < width] = 11
    lc[np.hypot((row - 60) / 0.7, col - 120) < 18] = 11  # a reservoir

    # The data stops short of the east edge, along a ragged line.
    lc[col >= COLS - (18 + 9 * np.sin(row / 37.0) + 4 * detail)] = 0
    return lc


def write_raster(path, lc):
    srs = osr.SpatialReference()
    srs.ImportFromEPSG(EPSG)
    drv = gdal.GetDriverByName("GTiff")
    if os.path.exists(path):
        drv.Delete(path)
    ds = drv.Create(path, COLS, ROWS, 1, gdal.GDT_Byte, options=["COMPRESS=DEFLATE"])
    ds.SetGeoTransform((X0, CELL, 0.0, Y0, 0.0, -CELL))
    ds.SetProjection(srs.ExportToWkt())
    band = ds.GetRasterBand(1)
    band.SetNoDataValue(0)
    colors = gdal.ColorTable()
    for value, (_, rgb) in LEGEND.items():
        colors.SetColorEntry(value, rgb + (255,))
    band.SetRasterColorTable(colors)
    band.WriteArray(lc)
    ds.FlushCache()
    ds = None


def zone_grid(rng):
    """Seed number (1-based) per cell of the zone grid, 0 outside every zone."""
    # The grid starts 2 km west of the raster so the outfall zone can reach out.
    zx0 = X0 + ZONE_OFFSET - 2025.0
    zy0 = Y0 - ZONE_OFFSET
    zcols = int((COLS * CELL + 2025.0) // ZONE_CELL)
    zrows = int((ROWS * CELL) // ZONE_CELL)
    r, c = np.mgrid[0:zrows, 0:zcols].astype(float)
    x = zx0 + (c + 0.5) * ZONE_CELL  # cell centres in map units
    y = zy0 - (r + 0.5) * ZONE_CELL

    # Twelve zones tile the inner part of the raster; the last two seeds give
    # Mill Creek and Sandy Creek a second, separate polygon each.
    seeds = [(2, 2), (6, 1.5), (10, 2.3), (14, 1.8), (3, 6.5), (7.5, 6), (11, 5.8),
             (15, 6.8), (2.5, 11), (6.5, 11.5), (10.5, 10.5), (14.5, 11.8), (15.5, 3.8), (3.2, 9)]
    seed_zone = list(range(12)) + [0, 6]
    sx = np.array([X0 + kx * 1000.0 for kx, _ in seeds])
    sy = np.array([Y0 - ky * 1000.0 for _, ky in seeds])

    # Warp distances with smooth noise so the shared edges wander like divides.
    warp_x = (smooth_noise(rng, zrows, zcols, 25) - 0.5) * 2400
    warp_y = (smooth_noise(rng, zrows, zcols, 25) - 0.5) * 2400
    d = np.hypot((x + warp_x)[..., None] - sx, (y + warp_y)[..., None] - sy)
    seed = np.argmin(d, axis=2) + 1

    inner = (x > X0 + 300) & (x < X0 + COLS * CELL - 300) & (y < Y0 - 300) & (y > Y0 - ROWS * CELL + 300)
    labels = np.where(inner, seed, 0)
    outfall = np.hypot(x - X0, (y - (Y0 - 8200)) / 1.4) + 300 * (warp_x / 1200) < 1500
    labels[outfall & (x < X0 + 700)] = len(seeds) + 1
    return labels.astype(np.int32), (zx0, ZONE_CELL, 0.0, zy0, 0.0, -ZONE_CELL), seed_zone + [OUTFALL]


def write_zones(path, rng):
    labels, transform, seed_zone = zone_grid(rng)
    rows, cols = labels.shape
    mem = gdal.GetDriverByName("MEM").Create("", cols, rows, 1, gdal.GDT_Int32)
    mem.SetGeoTransform(transform)
    band = mem.GetRasterBand(1)
    band.WriteArray(labels)
    band.SetNoDataValue(0)
    # Drop the small islands the warp leaves behind, so each seed is one polygon.
    gdal.SieveFilter(band, band.GetMaskBand(), band, 200, 4)

    srs = osr.SpatialReference()
    srs.ImportFromEPSG(EPSG)
    scratch = ogr.GetDriverByName("Memory").CreateDataSource("")  # must outlive its layer
    pieces = scratch.CreateLayer("pieces", srs, ogr.wkbPolygon)
    pieces.CreateField(ogr.FieldDefn("SEED", ogr.OFTInteger))
    gdal.Polygonize(band, band.GetMaskBand(), pieces, 0, [], callback=None)

    drv = ogr.GetDriverByName("ESRI Shapefile")
    if os.path.exists(path):
        drv.DeleteDataSource(path)
    ds = drv.CreateDataSource(path)
    layer = ds.CreateLayer("watersheds", srs, ogr.wkbPolygon, options=["ENCODING=UTF-8"])
    name = ogr.FieldDefn("NAME", ogr.OFTString)
    name.SetWidth(32)
    layer.CreateField(name)
    layer.CreateField(ogr.FieldDefn("HUC_ID", ogr.OFTInteger))
    found = sorted(((f.GetField("SEED"), f.GetGeometryRef().Clone()) for f in pieces), key=lambda p: p[0])
    for seed, geom in found:
        zone = seed_zone[seed - 1]
        feature = ogr.Feature(layer.GetLayerDefn())
        feature.SetField("NAME", ZONES[zone][0])
        feature.SetField("HUC_ID", ZONES[zone][1])
        feature.SetGeometry(geom)
        layer.CreateFeature(feature)
    ds = None
    return len(found), len({seed_zone[s - 1] for s, _ in found})


def main(argv):
    if len(argv) != 2 or argv[1] in ("-h", "--help"):
        print(__doc__.strip())
        return 2
    out = argv[1]
    os.makedirs(out, exist_ok=True)
    rng = np.random.default_rng(SEED)
    lc = land_cover(rng)
    write_raster(os.path.join(out, "landcover.tif"), lc)
    polygons, zones = write_zones(os.path.join(out, "watersheds.shp"), rng)
    values, counts = np.unique(lc, return_counts=True)
    share = ", ".join(f"{v}:{100.0 * n / lc.size:.1f}%" for v, n in zip(values, counts))
    print(f"{out}: landcover.tif {COLS}x{ROWS} ({share}); watersheds.shp {zones} zones, {polygons} polygons")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
