// The Third Fork catchments over the Durham land cover: every figure of the
// output against GDAL's own rasterisation of the same polygons.

#include "support/run_case.h"

#include <gdal_alg.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <gtest/gtest.h>

#include <map>

using namespace halvo::test;
namespace fs = std::filesystem;

TEST(RealData, ThirdForkCatchmentsMatchGdalRasterize)
{
    const fs::path dir = SharedData() / "durham-thirdfork";
    HALVO_REQUIRE_SHARED_DATA("durham-thirdfork/NLCD.tif");
    RunCase rc;
    const auto csv = rc.csv("coef.csv", kNlcdCoefficients);
    const auto out = rc.data() / "tf.shp";
    // Through the program, as a script would run it.
    const auto r = rc.halvo("run --landcover " + (dir / "NLCD.tif").string() + " --analysis " +
                            (dir / "Third_ForkCats.shp").string() + " --field FEATUREID --density medium " +
                            "--coefficients-csv " + csv.string() + " --output " + out.string());
    ASSERT_EQ(r.status, 0) << r.err;
    const auto got = rc.read(out, "FEATUREID");
    ASSERT_EQ(got.size(), 28u);

    // Independent: burn each catchment (reprojected) into a copy of the grid, last one wins.
    GDALDatasetUniquePtr lc(GDALDataset::Open((dir / "NLCD.tif").c_str(), GDAL_OF_RASTER));
    const int w = lc->GetRasterXSize(), h = lc->GetRasterYSize();
    double gt[6];
    lc->GetGeoTransform(gt);
    std::vector<uint8_t> classes(static_cast<std::size_t>(w) * h);
    ASSERT_EQ(lc->GetRasterBand(1)->RasterIO(GF_Read, 0, 0, w, h, classes.data(), w, h, GDT_Byte, 0, 0), CE_None);
    GDALDatasetUniquePtr mem(GetGDALDriverManager()->GetDriverByName("MEM")->Create("", w, h, 1, GDT_Int32, nullptr));
    mem->SetGeoTransform(gt);
    mem->SetSpatialRef(lc->GetSpatialRef());
    mem->GetRasterBand(1)->Fill(-1);

    GDALDatasetUniquePtr zones(GDALDataset::Open((dir / "Third_ForkCats.shp").c_str(), GDAL_OF_VECTOR));
    OGRLayer* layer = zones->GetLayer(0);
    OGRSpatialReference to(*lc->GetSpatialRef());
    to.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    OGRSpatialReference from(*layer->GetSpatialRef());
    from.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    std::unique_ptr<OGRCoordinateTransformation> ct(OGRCreateCoordinateTransformation(&from, &to));
    std::vector<OGRGeometryUniquePtr> geoms;
    std::vector<double> burn;
    std::vector<std::string> ids;
    for (auto& f : *layer) {
        OGRGeometryUniquePtr g(f->StealGeometry());
        g->transform(ct.get());
        burn.push_back(static_cast<double>(ids.size()));
        ids.push_back(f->GetFieldAsString("FEATUREID"));
        geoms.push_back(std::move(g));
    }
    std::vector<OGRGeometryH> handles;
    for (auto& g : geoms)
        handles.push_back(OGRGeometry::ToHandle(g.get()));
    int band = 1;
    ASSERT_EQ(GDALRasterizeGeometries(GDALDataset::ToHandle(mem.get()), 1, &band, static_cast<int>(handles.size()),
                                      handles.data(), nullptr, nullptr, burn.data(), nullptr, nullptr, nullptr),
              CE_None);
    std::vector<int32_t> zone(static_cast<std::size_t>(w) * h);
    ASSERT_EQ(mem->GetRasterBand(1)->RasterIO(GF_Read, 0, 0, w, h, zone.data(), w, h, GDT_Int32, 0, 0), CE_None);

    const std::map<int, double> medium = {{11, 0},   {21, 10},  {22, 35},  {23, 65},  {24, 90},
                                          {31, 3},   {41, 0.5}, {42, 0.5}, {43, 0.5}, {52, 0.5},
                                          {71, 0.5}, {81, 1.5}, {82, 1.5}, {90, 0},   {95, 0}};
    std::vector<std::map<int, long>> counts(ids.size());
    for (std::size_t i = 0; i < zone.size(); ++i)
        if (zone[i] >= 0)
            ++counts[static_cast<std::size_t>(zone[i])][classes[i]];
    const double cellArea = std::abs(gt[1] * gt[5]);
    for (std::size_t z = 0; z < ids.size(); ++z) {
        double total = 0, is = 0;
        for (const auto& [cls, n] : counts[z]) {
            const double value = static_cast<double>(n) * cellArea;
            total += Stored(value * 0.0001, 6);
            is += Stored(((value * medium.at(cls)) / 100) * 0.0001, 6);
        }
        const auto& g = got.at(ids[z]);
        EXPECT_EQ(g.total, Stored(total, 6)) << ids[z];
        EXPECT_EQ(g.impervious, Stored(is, 6)) << ids[z];
        EXPECT_EQ(g.pct, Stored(is / total * 100, 2)) << ids[z];
    }
}
