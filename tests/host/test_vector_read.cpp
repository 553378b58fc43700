// Reading features from damaged shapefiles: an error, never a shorter list.

#include "host/feature_reader.h"
#include "host/vector_ops.h"

#include "support/error_reporting.h"
#include "support/test_paths.h"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <gtest/gtest.h>

#include <functional>

using namespace halvo::host;
using halvo::test::TempDir;
namespace fs = std::filesystem;

TEST(ReadFeatures, CutShapefileIsAnErrorNamingIt)
{
    GDALAllRegister();
    TempDir dir;
    const fs::path shp = dir / "zones.shp";
    {
        GDALDatasetUniquePtr ds(GetGDALDriverManager()->GetDriverByName("ESRI Shapefile")
                                    ->Create(shp.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
        OGRLayer* l = ds->CreateLayer("zones", nullptr, wkbPolygon, nullptr);
        OGRFieldDefn f("ID", OFTInteger);
        ASSERT_EQ(l->CreateField(&f), OGRERR_NONE);
        for (int i = 0; i < 4; ++i) {
            OGRFeatureUniquePtr feat(OGRFeature::CreateFeature(l->GetLayerDefn()));
            feat->SetField(0, i);
            OGRGeometry* g = nullptr;
            const std::string wkt = "POLYGON((" + std::to_string(i) + " 0," + std::to_string(i + 1) + " 0," +
                                    std::to_string(i + 1) + " 1," + std::to_string(i) + " 0))";
            OGRGeometryFactory::createFromWkt(wkt.c_str(), nullptr, &g);
            feat->SetGeometryDirectly(g);
            ASSERT_EQ(l->CreateFeature(feat.get()), OGRERR_NONE);
        }
    }
    Layer layer;
    layer.name = "zones";
    layer.source = shp;
    ASSERT_EQ(ReadFeatures(layer, "ID", false).size(), 4u);

    // The last shape loses its tail.
    fs::resize_file(shp, fs::file_size(shp) - 20);
    try {
        ReadFeatures(layer, "ID", false);
        FAIL() << "a cut shapefile was read without an error";
    } catch (const halvo::support::Error& e) {
        EXPECT_NE(e.description().find(shp.string()), std::string::npos) << e.description();
    }
}

namespace {
// Four unit squares side by side, with an integer field, in a new shapefile.
fs::path FourSquares(const fs::path& shp)
{
    GDALAllRegister();
    GDALDatasetUniquePtr ds(GetGDALDriverManager()->GetDriverByName("ESRI Shapefile")
                                ->Create(shp.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    OGRLayer* l = ds->CreateLayer(shp.stem().c_str(), nullptr, wkbPolygon, nullptr);
    OGRFieldDefn f("ID", OFTInteger);
    l->CreateField(&f);
    OGRFieldDefn t("NOTE", OFTString);
    t.SetWidth(200);
    l->CreateField(&t);
    for (int i = 0; i < 4; ++i) {
        OGRFeatureUniquePtr feat(OGRFeature::CreateFeature(l->GetLayerDefn()));
        feat->SetField(0, i);
        feat->SetField(1, std::string(150, 'x').c_str());
        const std::string a = std::to_string(i), b = std::to_string(i + 1);
        const std::string wkt = "POLYGON((" + a + " 0," + b + " 0," + b + " 1," + a + " 1," + a + " 0))";
        OGRGeometry* g = nullptr;
        OGRGeometryFactory::createFromWkt(wkt.c_str(), nullptr, &g);
        feat->SetGeometryDirectly(g);
        EXPECT_EQ(l->CreateFeature(feat.get()), OGRERR_NONE);
    }
    return shp;
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
    fs::resize_file(dbf, fs::file_size(dbf) - 100);

    auto table = Table::Open(shp);
    ExpectReadError([&] { table.search({}, [](const Table::Row&) { return true; }); }, "zones", shp);
    auto writable = Table::Open(shp, true);
    ExpectReadError([&] { writable.update({}, [](Table::Row&) { return true; }); }, "zones", shp);

    Layer layer;
    layer.name = "zones";
    layer.source = shp;
    ExpectReadError([&] { SelectByWhere(layer, "", false); }, "zones", shp);
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
