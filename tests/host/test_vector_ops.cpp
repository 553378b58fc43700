// Feature-layer services on small layers kept in /vsimem/: dissolve, overlay,
// copy, subtraction, areas by value and what a layer holds.

#include "host/vector_ops.h"
#include "host/zonal.h"
#include "support/run_case.h"

#include <cpl_vsi.h>
#include <gdal_priv.h>

#include <gtest/gtest.h>

using namespace halvo::host;
using namespace halvo::test;

namespace {

std::string Box(double x0, double y0, double x1, double y1)
{
    const auto p = [](double x, double y) { return std::to_string(x) + " " + std::to_string(y); };
    return "POLYGON((" + p(x0, y0) + "," + p(x1, y0) + "," + p(x1, y1) + "," + p(x0, y1) + "," + p(x0, y0) + "))";
}

struct VectorOps : ::testing::Test {
    std::string mem;
    LayerPtr parcels;  // OWNER: b b a a (none) c — b two squares side by side, a two apart, c with a hole

    void SetUp() override
    {
        static int n = 0;
        mem = "/vsimem/vector" + std::to_string(n++) + "/";
        parcels = layer("parcels", "OWNER",
                        {{Box(0, 0, 2, 2), "b"},
                         {Box(2, 0, 4, 2), "b"},
                         {Box(10, 0, 11, 1), "a"},
                         {Box(20, 0, 21, 1), "a"},
                         {Box(30, 0, 31, 1), "", 0, true},
                         {"POLYGON((40 0,43 0,43 3,40 3,40 0),(41 1,42 1,42 2,41 2,41 1))", "c"}});
    }
    void TearDown() override { VSIRmdirRecursive(mem.c_str()); }
    LayerPtr layer(const std::string& name, const std::string& field, const std::vector<Feature>& features,
                   const std::string& ext = ".shp", bool anyGeometry = false)
    {
        return LayerOf(WritePolygons(mem + name + ext, field, true, features, 5070,
                                     ext == ".gpkg" ? "GPKG" : "ESRI Shapefile", anyGeometry));
    }
};

}  // namespace

TEST_F(VectorOps, DissolveMergesEachValueInOrderAndLeavesOutFeaturesWithoutOne)
{
    Dissolve(*parcels, "OWNER", false, mem + "all.shp");
    const auto all = Shapes(mem + "all.shp", "OWNER");
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].value, "a");
    EXPECT_DOUBLE_EQ(all[0].area, 2);
    EXPECT_EQ(all[0].parts, 2);
    EXPECT_EQ(all[1].value, "b");
    EXPECT_DOUBLE_EQ(all[1].area, 8);
    EXPECT_EQ(all[1].parts, 1) << "squares side by side are one polygon";
    EXPECT_EQ(all[2].value, "c");
    EXPECT_DOUBLE_EQ(all[2].area, 8);
    EXPECT_EQ(all[2].holes, 1);

    parcels->selection = {0, 2};
    Dissolve(*parcels, "OWNER", true, mem + "sel.shp");
    const auto sel = Shapes(mem + "sel.shp", "OWNER");
    ASSERT_EQ(sel.size(), 2u);
    EXPECT_DOUBLE_EQ(sel[0].area, 1);
    EXPECT_DOUBLE_EQ(sel[1].area, 4);

    // Numbers in numeric order, not as text.
    const auto numbered =
        LayerOf(WritePolygons(mem + "numbered.shp", "ID", false,
                              {{Box(0, 0, 1, 1), "", 10}, {Box(1, 0, 2, 1), "", 9}, {Box(2, 0, 3, 1), "", 100}}));
    Dissolve(*numbered, "ID", false, mem + "numbered_d.shp");
    std::vector<std::string> order;
    for (const auto& s : Shapes(mem + "numbered_d.shp", "ID"))
        order.push_back(s.value);
    EXPECT_EQ(order, (std::vector<std::string>{"9", "10", "100"}));
}

TEST_F(VectorOps, CopyTakesTheSelectionAndWidensTheFieldToItsLongestValue)
{
    parcels->selection = {1, 5};
    CopyFeatures(*parcels, "OWNER", mem + "copy.shp", "analyfld", 18);
    const auto copy = Shapes(mem + "copy.shp", "analyfld");
    ASSERT_EQ(copy.size(), 2u);
    EXPECT_EQ(copy[0].value, "b");
    EXPECT_EQ(copy[1].holes, 1);
    const auto fields = LayerFields(*LayerOf(mem + "copy.shp"));
    ASSERT_EQ(fields.size(), 1u);
    EXPECT_EQ(fields[0].name, "analyfld");
    EXPECT_EQ(fields[0].length, 18);

    const std::string longName(30, 'x');
    const auto named = layer("named", "NAME", {{Box(0, 0, 1, 1), longName}});
    CopyFeatures(*named, "NAME", mem + "named_c.shp", "analyfld", 18);
    EXPECT_EQ(LayerFields(*LayerOf(mem + "named_c.shp"))[0].length, 30);
    EXPECT_EQ(Shapes(mem + "named_c.shp", "analyfld")[0].value, longName);
}

TEST_F(VectorOps, AnyGeometryLayersAreCopiedFirstAndEveryLayerOfAPackageIsNamed)
{
    const auto fields = LayerFields(*parcels);
    ASSERT_EQ(fields.size(), 1u);
    EXPECT_EQ(fields[0].name, "OWNER");
    EXPECT_EQ(fields[0].type, kString);
    EXPECT_TRUE(FindLayerField(*parcels, "OWNER"));
    EXPECT_FALSE(FindLayerField(*parcels, "OWNERS"));
    EXPECT_EQ(ShapeType(*parcels), 4);
    EXPECT_FALSE(MustCopyFirst(*parcels));

    // Declared as any geometry: polygons only make a polygon layer.
    const auto any = layer("any", "NAME", {{Box(0, 0, 1, 1), "P"}}, ".gpkg", true);
    EXPECT_EQ(ShapeType(*any), 4);
    EXPECT_TRUE(MustCopyFirst(*any));
    EXPECT_EQ(ShapeType(*layer("mixed", "NAME", {{Box(0, 0, 1, 1), "P"}, {"LINESTRING(0 0,1 1)", "L"}}, ".gpkg", true)),
              0);
    EXPECT_EQ(ShapeType(*layer("empty", "NAME", {}, ".gpkg", true)), 0);

    // A second layer in the package: both named, in order.
    {
        GDALDatasetUniquePtr ds(GDALDataset::Open((mem + "any.gpkg").c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE));
        ds->CreateLayer("more", nullptr, wkbPolygon, nullptr);
    }
    EXPECT_EQ(VectorLayerNames(mem + "any.gpkg"), (std::vector<std::string>{"any", "more"}));
    EXPECT_EQ(VectorLayerNames(parcels->source), (std::vector<std::string>{"parcels"}));
}

TEST_F(VectorOps, SharedLandIsWhatEarlierLayersLeftAndEverySelectionHolds)
{
    // Land an earlier layer took is cut away; a polygon with nothing left drops out.
    const auto later =
        layer("later", "NAME", {{Box(0, 0, 4, 2), "x"}, {Box(0, 0, 1, 1), "gone"}, {Box(10, 0, 11, 1), "y"}});
    const auto first = layer("first", "NAME", {{Box(0, 0, 2, 2), "f"}});
    const auto other = layer("other", "NAME", {{Box(2, 0, 3, 1), "o"}, {Box(10, 0, 11, 1), "p"}});
    EXPECT_TRUE(SharesLand(*later, {first.get()}, {other.get()}));
    EXPECT_FALSE(SharesLand(*later, {first.get(), other.get()}, {other.get()}));
    EXPECT_FALSE(SharesLand(*first, {}, {other.get()}));  // an edge in common is no land
    other->selection = {1};
    EXPECT_TRUE(SharesLand(*later, {first.get()}, {other.get()}));
    later->selection = {0};
    EXPECT_FALSE(SharesLand(*later, {first.get()}, {other.get()}));
}
