#include "run_fixture.h"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace halvo::test {

namespace fs = std::filesystem;

RunCase::RunCase()
{
    GDALAllRegister();
    fs::create_directories(data());
}

fs::path RunCase::raster(const std::string& name, int width, int height, double originX, double originY,
                         double cellW, double cellH, const std::vector<int>& values, std::optional<double> nodata,
                         int epsg, const char* type)
{
    const fs::path p = data() / (name + ".tif");
    auto* drv = GetGDALDriverManager()->GetDriverByName("GTiff");
    GDALDatasetUniquePtr ds(drv->Create(p.c_str(), width, height, 1, GDALGetDataTypeByName(type), nullptr));
    double gt[6] = {originX, cellW, 0, originY, 0, -cellH};
    ds->SetGeoTransform(gt);
    OGRSpatialReference srs;
    srs.importFromEPSG(epsg);
    ds->SetSpatialRef(&srs);
    auto* band = ds->GetRasterBand(1);
    if (nodata)
        band->SetNoDataValue(*nodata);
    std::vector<int> buf(values);
    if (band->RasterIO(GF_Write, 0, 0, width, height, buf.data(), width, height, GDT_Int32, 0, 0) != CE_None)
        throw std::runtime_error("cannot write test raster");
    return p;
}

fs::path RunCase::polygons(const std::string& name, const std::string& field, bool textField,
                           const std::vector<Feature>& features, int epsg, const std::string& driver)
{
    const bool gpkg = driver == "GPKG";
    const fs::path p = data() / (name + (gpkg ? ".gpkg" : ".shp"));
    auto* drv = GetGDALDriverManager()->GetDriverByName(driver.c_str());
    GDALDatasetUniquePtr ds(drv->Create(p.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    OGRSpatialReference srs;
    srs.importFromEPSG(epsg);
    srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    OGRLayer* layer = ds->CreateLayer(name.c_str(), &srs, wkbPolygon, nullptr);
    OGRFieldDefn fd(field.c_str(), textField ? OFTString : OFTInteger);
    if (textField)
        fd.SetWidth(40);
    layer->CreateField(&fd);
    for (const auto& f : features) {
        OGRFeatureUniquePtr feat(OGRFeature::CreateFeature(layer->GetLayerDefn()));
        OGRGeometry* g = nullptr;
        OGRGeometryFactory::createFromWkt(f.wkt.c_str(), &srs, &g);
        feat->SetGeometryDirectly(g);
        if (textField)
            feat->SetField(0, f.text.c_str());
        else
            feat->SetField(0, static_cast<GIntBig>(f.number));
        if (layer->CreateFeature(feat.get()) != OGRERR_NONE)
            throw std::runtime_error("cannot write test feature");
    }
    return p;
}

fs::path RunCase::csv(const std::string& name, const std::string& body)
{
    const fs::path p = data() / name;
    std::FILE* f = std::fopen(p.c_str(), "wb");
    std::fputs(body.c_str(), f);
    std::fclose(f);
    return p;
}

RunOutput RunCase::halvo(const std::string& args)
{
    const fs::path out = path() / "stdout.txt", err = path() / "stderr.txt";
    const std::string cmd = "HALVO_HOME='" + path().string() + "' '" + std::string(HALVO_EXT_DIR) + "/halvo' " + args +
                            " < /dev/null > '" + out.string() + "' 2> '" + err.string() + "'";
    RunOutput r;
    const int rc = std::system(cmd.c_str());
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    r.out = ReadFile(out);
    r.err = ReadFile(err);
    return r;
}

std::map<std::string, ZoneResult> RunCase::read(const fs::path& shp, const std::string& field)
{
    std::map<std::string, ZoneResult> out;
    GDALDatasetUniquePtr ds(GDALDataset::Open(shp.c_str(), GDAL_OF_VECTOR));
    if (!ds)
        return out;
    OGRLayer* l = ds->GetLayer(0);
    const auto* defn = l->GetLayerDefn();
    const int fi = defn->GetFieldIndex(field.c_str());
    for (auto& f : *l) {
        ZoneResult z;
        z.hasResult = f->IsFieldSetAndNotNull(1);
        z.total = f->GetFieldAsDouble(1);
        z.impervious = f->GetFieldAsDouble(2);
        z.pct = f->GetFieldAsDouble(3);
        z.complete = f->GetFieldAsString(4);
        out[f->GetFieldAsString(fi)] = z;
    }
    return out;
}

bool RunCase::tempIsEmpty() const { return fs::is_empty(path() / "temp"); }

std::string CellBox(double x0, double y0, double s, double c0, double r0, double c1, double r1)
{
    std::ostringstream o;
    o.precision(17);
    const double xa = x0 + c0 * s, xb = x0 + c1 * s, ya = y0 - r0 * s, yb = y0 - r1 * s;
    o << "POLYGON((" << xa << " " << ya << "," << xb << " " << ya << "," << xb << " " << yb << "," << xa << " " << yb
      << "," << xa << " " << ya << "))";
    return o.str();
}

double Stored(double v, int decimals)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return std::strtod(buf, nullptr);
}

}  // namespace halvo::test
