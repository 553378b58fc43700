// Reading features from damaged shapefiles: an error, never a shorter list.

#include "host/feature_reader.h"
#include "host/ogr_layer.h"
#include "host/vector_ops.h"

#include "support/error_reporting.h"
#include "support/run_case.h"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <gtest/gtest.h>

#include <functional>

using namespace halvo::host;
using halvo::test::TempDir;
namespace fs = std::filesystem;

namespace {
// Four unit squares side by side (ID 0-3) in a new shapefile.
fs::path FourSquares(const fs::path& shp)
{
    std::vector<halvo::test::Feature> squares;
    for (int i = 0; i < 4; ++i) {
        const std::string a = std::to_string(i), b = std::to_string(i + 1);
        squares.push_back({"POLYGON((" + a + " 0," + b + " 0," + b + " 1," + a + " 1," + a + " 0))", "", i});
    }
    return halvo::test::WritePolygons(shp, "ID", false, squares);
}

void ExpectReadError(const std::function<void()>& read, const std::string& layerName, const fs::path& file)
{
    try {
        read();
        FAIL() << "a damaged file was read without an error";
    } catch (const halvo::support::Error& e) {
        EXPECT_EQ(e.number(), kFeatureReadError);
        EXPECT_NE(e.description().find("the layer '" + layerName + "' (" + file.string() + ")"), std::string::npos)
            << e.description();
    }
}
}  // namespace

TEST(FeatureReader, CutTableIsAnErrorInEveryWalk)
{
    TempDir dir;
    const fs::path shp = FourSquares(dir / "zones.shp");
    fs::path dbf = shp;
    dbf.replace_extension(".dbf");
    // The last record of the table loses its tail.
    fs::resize_file(dbf, fs::file_size(dbf) - 5);

    auto table = Table::Open(shp);
    ExpectReadError([&] { table.search({}, [](const Table::Row&) { return true; }); }, "zones", shp);
    auto writable = Table::Open(shp, true);
    ExpectReadError([&] { writable.update({}, [](Table::Row&) { return true; }); }, "zones", shp);

    Layer layer;
    layer.name = "zones";
    layer.source = shp;
    ExpectReadError([&] { SelectByWhere(layer, "", false); }, "zones", shp);

    // The last shape loses its tail.
    const fs::path cut = FourSquares(dir / "cut.shp");
    layer.source = cut;
    ASSERT_EQ(ReadFeatures(layer, "ID", false).size(), 4u);
    fs::resize_file(cut, fs::file_size(cut) - 20);
    ExpectReadError([&] { ReadFeatures(layer, "ID", false); }, "zones", cut);
}

TEST(FeatureReader, CutInputOfAnIntersectionIsAnError)
{
    TempDir dir;
    Layer input, overlay;
    input.name = "density";
    input.source = FourSquares(dir / "density.shp");
    overlay.name = "zones";
    overlay.source = FourSquares(dir / "zones.shp");
    ASSERT_NO_THROW(Intersect(input, overlay, dir / "ok.shp"));
    fs::resize_file(input.source, fs::file_size(input.source) - 20);
    ExpectReadError([&] { Intersect(input, overlay, dir / "cut.shp"); }, "density", input.source);
}

namespace {
OGRGeometryUniquePtr Wkt(const std::string& wkt)
{
    OGRGeometry* g = nullptr;
    OGRGeometryFactory::createFromWkt(wkt.c_str(), nullptr, &g);
    return OGRGeometryUniquePtr(g);
}

double AreaOf(const OGRGeometry& g)
{
    const auto t = wkbFlatten(g.getGeometryType());
    return t == wkbPolygon ? g.toPolygon()->get_Area() : g.toMultiPolygon()->get_Area();
}
}  // namespace

TEST(RepairPolygon, OverlappingPartsBecomeTheirUnion)
{
    const auto both = Wkt("MULTIPOLYGON(((0 0,0 15,15 15,15 0,0 0)),((22.5 15,22.5 0,7.5 0,7.5 15,22.5 15)))");
    ASSERT_FALSE(both->IsValid());
    const auto fixed = RepairPolygon(*both);
    ASSERT_TRUE(fixed);
    EXPECT_TRUE(fixed->IsValid());
    EXPECT_DOUBLE_EQ(AreaOf(*fixed), 337.5);

    // A bow tie keeps both of its triangles; a part inside another's hole fills that much of it.
    const auto bowTie = RepairPolygon(*Wkt("POLYGON((0 5,10 10,10 5,0 10,0 5))"));
    ASSERT_TRUE(bowTie);
    EXPECT_DOUBLE_EQ(AreaOf(*bowTie), 25);
    const auto island =
        RepairPolygon(*Wkt("MULTIPOLYGON(((0 0,10 0,10 10,0 10,0 0),(2 2,4 2,4 4,2 4,2 2)),((3 3,5 3,5 5,3 5,3 3)))"));
    ASSERT_TRUE(island);
    EXPECT_DOUBLE_EQ(AreaOf(*island), 97);

    // Valid polygons and other geometries are left alone.
    EXPECT_FALSE(RepairPolygon(*Wkt("POLYGON((0 0,1 0,1 1,0 1,0 0))")));
    EXPECT_FALSE(RepairPolygon(*Wkt("LINESTRING(0 0,1 1,0 1,1 0)")));
    EXPECT_FALSE(RepairPolygon(*Wkt("POLYGON EMPTY")));
}

TEST(RepairPolygon, ReadingRepairsAndCountsEachFeatureOnce)
{
    TempDir dir;
    const fs::path shp = FourSquares(dir / "zones.shp");
    {
        // Feature 1 becomes a bow tie.
        GDALDatasetUniquePtr ds(GDALDataset::Open(shp.c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE));
        OGRLayer* l = ds->GetLayer(0);
        OGRFeatureUniquePtr f(l->GetFeature(1));
        f->SetGeometryDirectly(Wkt("POLYGON((0 0,1 1,1 0,0 1,0 0))").release());
        ASSERT_EQ(l->SetFeature(f.get()), OGRERR_NONE);
    }
    Layer layer;
    layer.name = "zones";
    layer.source = shp;
    ResetGeometryRepairs();
    EXPECT_EQ(GeometryRepairsText(), "");
    for (int pass = 0; pass < 2; ++pass) {
        const auto recs = ReadFeatures(layer, "ID", false);
        ASSERT_EQ(recs.size(), 4u);
        for (const auto& r : recs)
            EXPECT_TRUE(r.geometry->IsValid()) << r.fid;
    }
    const auto repairs = GeometryRepairs();
    ASSERT_EQ(repairs.size(), 1u);
    EXPECT_EQ(repairs[0].layer, "zones");
    EXPECT_EQ(repairs[0].features, 1u);
    EXPECT_EQ(GeometryRepairsText(),
              "1 feature of the layer 'zones' had an invalid geometry and was repaired: overlapping parts count once, "
              "as their union.");
    ResetGeometryRepairs();
    EXPECT_TRUE(GeometryRepairs().empty());
}

TEST(TableFields, AddingAFieldKeepsTheAliasesOfTheEarlierOnes)
{
    TempDir dir;
    auto t = Table::CreateShapefile(dir / "out.shp", ShapeKind::Polygon, nullptr, {{"NAME", "Zone name", kString, 20}});
    t.addField({"TotHects", "TotalHectares", kDouble, 0, 18, 6});
    t.addField({"TotISHec", "TotalISHectares", kDouble, 0, 18, 6});
    t.addField({"pctIS", "", kDouble, 0, 10, 2});
    ASSERT_EQ(t.fieldCount(), 6);
    EXPECT_EQ(t.field(2).alias, "Zone name");
    EXPECT_EQ(t.field(3).alias, "TotalHectares");
    EXPECT_EQ(t.field(4).alias, "TotalISHectares");
    EXPECT_EQ(t.field(5).alias, "pctIS");
}
