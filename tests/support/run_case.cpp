#include "support/run_case.h"

#include "cli/coefficients_command.h"
#include "cli/report_command.h"
#include "cli/run_command.h"

#include <gdal_priv.h>
#include <gdal_utils.h>
#include <ogrsf_frmts.h>

#include <fcntl.h>
#include <unistd.h>
#include <wordexp.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

namespace halvo::test {

namespace fs = std::filesystem;

fs::path WriteRaster(const fs::path& p, int width, int height, double originX, double originY, double cellW,
                     double cellH, const std::vector<int>& values, std::optional<double> nodata, int epsg,
                     const char* type)
{
    GDALAllRegister();
    auto* drv = GetGDALDriverManager()->GetDriverByName("GTiff");
    GDALDatasetUniquePtr ds(drv->Create(p.c_str(), width, height, 1, GDALGetDataTypeByName(type), nullptr));
    if (!ds)
        throw std::runtime_error("cannot create test raster " + p.string());
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

fs::path WritePolygons(const fs::path& p, const std::string& field, bool textField,
                       const std::vector<Feature>& features, int epsg, const std::string& driver, bool anyGeometry)
{
    GDALAllRegister();
    auto* drv = GetGDALDriverManager()->GetDriverByName(driver.c_str());
    GDALDatasetUniquePtr ds(drv->Create(p.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    if (!ds)
        throw std::runtime_error("cannot create test layer " + p.string());
    OGRSpatialReference srs;
    srs.importFromEPSG(epsg);
    srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    OGRLayer* layer = ds->CreateLayer(p.stem().c_str(), &srs, anyGeometry ? wkbUnknown : wkbPolygon, nullptr);
    if (!field.empty()) {
        OGRFieldDefn fd(field.c_str(), textField ? OFTString : OFTInteger);
        if (textField)
            fd.SetWidth(40);
        layer->CreateField(&fd);
    }
    for (const auto& f : features) {
        OGRFeatureUniquePtr feat(OGRFeature::CreateFeature(layer->GetLayerDefn()));
        OGRGeometry* g = nullptr;
        OGRGeometryFactory::createFromWkt(f.wkt.c_str(), &srs, &g);
        feat->SetGeometryDirectly(g);
        if (!field.empty() && !f.null) {
            if (textField)
                feat->SetField(0, f.text.c_str());
            else
                feat->SetField(0, static_cast<GIntBig>(f.number));
        }
        if (layer->CreateFeature(feat.get()) != OGRERR_NONE)
            throw std::runtime_error("cannot write test feature");
    }
    return p;
}

fs::path ToShapefile(const fs::path& source, const fs::path& shp)
{
    GDALAllRegister();
    GDALDatasetUniquePtr src(GDALDataset::Open(source.c_str(), GDAL_OF_VECTOR));
    const char* args[] = {"-f", "ESRI Shapefile", nullptr};
    GDALVectorTranslateOptions* o = GDALVectorTranslateOptionsNew(const_cast<char**>(args), nullptr);
    GDALDatasetH h = src.get();
    GDALDatasetUniquePtr out(GDALDataset::FromHandle(GDALVectorTranslate(shp.c_str(), nullptr, 1, &h, o, nullptr)));
    GDALVectorTranslateOptionsFree(o);
    if (!out)
        throw std::runtime_error("cannot copy " + source.string() + " to " + shp.string());
    return shp;
}

host::LayerPtr LayerOf(const fs::path& source, host::LayerKind kind)
{
    auto l = std::make_shared<host::Layer>();
    l->name = source.stem().string();
    l->kind = kind;
    l->source = source;
    return l;
}

std::map<std::string, ZoneResult> ReadResults(const fs::path& shp, const std::string& field)
{
    std::map<std::string, ZoneResult> out;
    GDALDatasetUniquePtr ds(GDALDataset::Open(shp.c_str(), GDAL_OF_VECTOR));
    if (!ds)
        return out;
    OGRLayer* l = ds->GetLayer(0);
    const int fi = l->GetLayerDefn()->GetFieldIndex(field.c_str());
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

std::vector<Shape> Shapes(const fs::path& path, const std::string& field)
{
    std::vector<Shape> out;
    GDALDatasetUniquePtr ds(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR));
    if (!ds)
        throw std::runtime_error("cannot open " + path.string());
    for (auto& f : *ds->GetLayer(0)) {
        Shape s{f->GetFieldAsString(field.c_str())};
        const OGRGeometry* g = f->GetGeometryRef();
        s.area = OGR_G_Area(OGRGeometry::ToHandle(const_cast<OGRGeometry*>(g)));
        s.valid = g->IsValid();
        std::unique_ptr<OGRMultiPolygon> mp(OGRGeometryFactory::forceToMultiPolygon(g->clone())->toMultiPolygon());
        s.parts = mp->getNumGeometries();
        for (const auto* poly : *mp)
            s.holes += poly->getNumInteriorRings();
        out.push_back(s);
    }
    return out;
}

RunCase::RunCase()
{
    GDALAllRegister();
    fs::create_directories(data());
}

fs::path RunCase::csv(const std::string& name, const std::string& body)
{
    std::ofstream(data() / name, std::ios::binary) << body;
    return data() / name;
}

namespace {

// The program's command line, as its main() reads it.
int Main(std::vector<std::string> args)
{
    CLI::App app{"halvo"};
    app.require_subcommand(1);
    cli::RunOptions run;
    auto* runCmd = app.add_subcommand("run", "");
    cli::AddRunOptions(*runCmd, run);
    cli::CoefficientsOptions coefficients;
    auto* coefficientsCmd = app.add_subcommand("coefficients", "");
    cli::AddCoefficientsOptions(*coefficientsCmd, coefficients);
    cli::ReportOptions report;
    auto* reportCmd = app.add_subcommand("report", "");
    cli::AddReportOptions(*reportCmd, report);
    std::reverse(args.begin(), args.end());
    try {
        app.parse(args);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    }
    if (*runCmd)
        return cli::RunCommand(run);
    if (*coefficientsCmd)
        return cli::CoefficientsCommand(*coefficientsCmd, coefficients);
    return cli::ReportCommand(report);
}

// Points a standard descriptor at a file for the life of the object.
class Redirect {
public:
    Redirect(int fd, const fs::path& file, int flags) : fd_(fd), saved_(::dup(fd))
    {
        const int f = ::open(file.c_str(), flags, 0644);
        ::dup2(f, fd);
        ::close(f);
    }
    ~Redirect()
    {
        ::dup2(saved_, fd_);
        ::close(saved_);
    }
    Redirect(const Redirect&) = delete;
    Redirect& operator=(const Redirect&) = delete;

private:
    int fd_, saved_;
};

}  // namespace

RunOutput RunCase::cli(const std::string& args)
{
    wordexp_t words{};
    if (::wordexp(args.c_str(), &words, 0) != 0)
        throw std::runtime_error("cannot split the arguments: " + args);
    std::vector<std::string> argv(words.we_wordv, words.we_wordv + words.we_wordc);
    ::wordfree(&words);

    const fs::path out = path() / "stdout.txt", err = path() / "stderr.txt";
    const char* old = std::getenv("HALVO_HOME");
    const std::optional<std::string> oldHome = old ? std::optional<std::string>(old) : std::nullopt;
    ::setenv("HALVO_HOME", path().c_str(), 1);
    RunOutput r;
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    {
        Redirect in(0, "/dev/null", O_RDONLY), o(1, out, O_WRONLY | O_CREAT | O_TRUNC),
            e(2, err, O_WRONLY | O_CREAT | O_TRUNC);
        r.status = Main(argv);
        std::cout.flush();
        std::cerr.flush();
        std::fflush(nullptr);
    }
    if (oldHome)
        ::setenv("HALVO_HOME", oldHome->c_str(), 1);
    else
        ::unsetenv("HALVO_HOME");
    r.out = ReadFile(out);
    r.err = ReadFile(err);
    return r;
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

TwoZones::TwoZones()
{
    std::vector<int> v(100);
    for (std::size_t i = 0; i < v.size(); ++i)
        v[i] = i % 3 == 0 ? 41 : 21;
    lc = rc.raster("lc", 10, 10, X0, Y0, S, S, v);
    zones = rc.polygons("zones", "NAME", true,
                        {{CellBox(X0, Y0, S, 0, 0, 5, 10), "West"}, {CellBox(X0, Y0, S, 5, 0, 10, 10), "East"}});
    coef = rc.csv("coef.csv", kTwoClassCoefficients);
}

std::string TwoZones::args(const std::filesystem::path& analysis, const std::filesystem::path& out) const
{
    return "run --landcover " + lc.string() + " --analysis " + analysis.string() + " --field NAME --coefficients-csv " +
           coef.string() + " --output '" + out.string() + "'";
}

}  // namespace halvo::test
