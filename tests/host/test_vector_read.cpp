// Reading features from damaged shapefiles: an error, never a shorter list.

#include "host/vector_ops.h"

#include "support/error_reporting.h"
#include "support/test_paths.h"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <gtest/gtest.h>

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
