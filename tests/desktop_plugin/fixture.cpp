#include "fixture.h"

#include "support/run_case.h"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <qgsproject.h>
#include <qgsrasterlayer.h>
#include <qgsvectorlayer.h>

#include <QCoreApplication>

#include <stdexcept>

namespace halvo::test {

namespace fs = std::filesystem;

fs::path LandCover(const fs::path& folder, const std::string& name)
{
    std::vector<int> cells(400);
    for (std::size_t i = 0; i < cells.size(); ++i)
        cells[i] = i >= 380 ? 0 : (i % 20 < 10 ? 22 : 41);
    return WriteRaster(folder / (name + ".tif"), 20, 20, 0, 600, 30, 30, cells, 0.0);
}

fs::path Vector(const fs::path& folder, const std::string& file, const std::vector<TestField>& fields,
                const std::vector<Row>& rows)
{
    GDALAllRegister();
    const fs::path path = folder / file;
    const bool gpkg = path.extension() == ".gpkg";
    GDALDriver* drv = GetGDALDriverManager()->GetDriverByName(gpkg ? "GPKG" : "ESRI Shapefile");
    GDALDatasetUniquePtr ds(drv->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    OGRSpatialReference srs;
    srs.importFromEPSG(5070);
    OGRGeometry* first = nullptr;
    OGRGeometryFactory::createFromWkt(rows.front().wkt.c_str(), nullptr, &first);
    const OGRwkbGeometryType gtype = first ? wkbFlatten(first->getGeometryType()) : wkbPolygon;
    OGRGeometryFactory::destroyGeometry(first);
    OGRLayer* layer = ds->CreateLayer(path.stem().c_str(), &srs, gtype, nullptr);
    for (const TestField& f : fields) {
        OGRFieldDefn d(f.name.c_str(), f.type == 's' ? OFTString : f.type == 'i' ? OFTInteger : OFTReal);
        if (f.type == 'd') {
            d.SetWidth(18);
            d.SetPrecision(6);
        }
        layer->CreateField(&d);
    }
    for (const Row& row : rows) {
        OGRFeatureUniquePtr feat(OGRFeature::CreateFeature(layer->GetLayerDefn()));
        OGRGeometry* g = nullptr;
        OGRGeometryFactory::createFromWkt(row.wkt.c_str(), nullptr, &g);
        feat->SetGeometryDirectly(g);
        for (std::size_t i = 0; i < row.values.size(); ++i) {
            const int idx = static_cast<int>(i);
            if (auto* s = std::get_if<std::string>(&row.values[i]))
                feat->SetField(idx, s->c_str());
            else if (auto* n = std::get_if<long long>(&row.values[i]))
                feat->SetField(idx, static_cast<GIntBig>(*n));
            else
                feat->SetField(idx, std::get<double>(row.values[i]));
        }
        if (layer->CreateFeature(feat.get()) != OGRERR_NONE)
            throw std::runtime_error("cannot write " + path.string());
    }
    return path;
}

fs::path Zones(const fs::path& folder, const std::string& name)
{
    return Vector(folder, name + ".shp", {{"NAME", 's'}, {"HUC", 'i'}, {"SHARE", 'd'}},
                  {{"POLYGON((0 0,300 0,300 600,0 600,0 0))", {std::string("West"), 1LL, 0.5}},
                   {"POLYGON((300 0,600 0,600 600,300 600,300 0))", {std::string("East"), 2LL, 0.5}}});
}

QgsVectorLayer* AddVector(const fs::path& file, const QString& name)
{
    auto* vl = new QgsVectorLayer(QString::fromStdString(file.string()), name, QStringLiteral("ogr"));
    QgsProject::instance()->addMapLayer(vl);
    return vl;
}

QgsRasterLayer* AddRaster(const fs::path& file, const QString& name)
{
    auto* rl = new QgsRasterLayer(QString::fromStdString(file.string()), name, QStringLiteral("gdal"));
    QgsProject::instance()->addMapLayer(rl);
    return rl;
}

void Settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

void ClearProject()
{
    QgsProject::instance()->clear();
    Settle();
}

}  // namespace halvo::test
