// Input the run cannot honour is refused by name before anything is written,
// or used whole; never a quiet wrong figure.

#include "scene.h"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <gtest/gtest.h>

using namespace halvo::test;
namespace fs = std::filesystem;

namespace {

Scene Small()
{
    return {10, 10, std::vector<int>(100, 21), "Value,ClassName,High,Medium,Low\r\n21,Developed,80,55.5,30\r\n"};
}

// A GeoPackage of two layers, "zones" (two zones) and "more" (one), or of one
// layer declared as any geometry.
fs::path Package(const fs::path& p, bool twoLayers, OGRwkbGeometryType declared = wkbPolygon)
{
    GDALDatasetUniquePtr ds(
        GetGDALDriverManager()->GetDriverByName("GPKG")->Create(p.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    OGRSpatialReference srs;
    srs.importFromEPSG(5070);
    auto add = [&](const char* name, std::vector<std::pair<std::string, const char*>> rows) {
        OGRLayer* l = ds->CreateLayer(name, &srs, declared, nullptr);
        OGRFieldDefn f("NAME", OFTString);
        l->CreateField(&f);
        for (const auto& [wkt, value] : rows) {
            OGRFeatureUniquePtr feat(OGRFeature::CreateFeature(l->GetLayerDefn()));
            OGRGeometry* g = nullptr;
            OGRGeometryFactory::createFromWkt(wkt.c_str(), &srs, &g);
            feat->SetGeometryDirectly(g);
            if (value)
                feat->SetField(0, value);
            if (l->CreateFeature(feat.get()) != OGRERR_NONE)
                throw std::runtime_error("cannot write a test feature");
        }
    };
    add("zones", {{Box(0, 0, 5, 10), "West"}, {Box(5, 0, 10, 10), "East"}, {Box(0, 0, 2, 2), nullptr}});
    if (twoLayers)
        add("more", {{Box(0, 0, 10, 10), "All"}});
    return p;
}

}  // namespace

TEST(RefusedInput, AMultiLayerSourceNeedsItsLayerNamed)
{
    Scene s = Small();
    const auto gpkg = Package(s.rc.data() / "two.gpkg", true);
    auto r = s.run(gpkg, "");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("holds 2 layers (zones, more)"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(s.out));

    r = s.run(gpkg.string() + "|layername=more", "");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(s.result().size(), 1u);
    EXPECT_NE(ReadFile(s.rc.data() / "out.prm").find("Analysis Layer: more"), std::string::npos);
}

TEST(RefusedInput, FeaturesWithoutAZoneAreCountedAndALayerOfAnyGeometryRuns)
{
    Scene s = Small();
    const auto gpkg = Package(s.rc.data() / "any.gpkg", false, wkbUnknown);
    const auto r = s.run(gpkg, "");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(s.result().size(), 2u);
    const std::string prm = ReadFile(s.rc.data() / "out.prm");
    EXPECT_NE(prm.find("Features Used: 3 of 3"), std::string::npos) << prm;
    EXPECT_NE(prm.find("Left Out: 1 feature(s) without a value in NAME (4.00 ha)"), std::string::npos) << prm;
    EXPECT_NE(r.err.find("belong to no zone"), std::string::npos) << r.err;
}
