#include "host/table.h"

#include "host/feature_reader.h"
#include "host/gdal_env.h"
#include "support/error_reporting.h"

#include <cpl_vsi.h>
#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>
#include <system_error>

namespace halvo::host {

namespace fs = std::filesystem;

std::string ValueText(const Value& v)
{
    if (std::holds_alternative<long long>(v))
        return std::to_string(std::get<long long>(v));
    if (std::holds_alternative<double>(v)) {
        char buf[64];
        auto r = std::to_chars(buf, buf + sizeof buf, std::get<double>(v));
        return std::string(buf, r.ptr);
    }
    if (std::holds_alternative<std::string>(v))
        return std::get<std::string>(v);
    return {};
}

double ValueNumber(const Value& v)
{
    if (std::holds_alternative<long long>(v))
        return static_cast<double>(std::get<long long>(v));
    if (std::holds_alternative<double>(v))
        return std::get<double>(v);
    if (std::holds_alternative<std::string>(v)) {
        const auto& s = std::get<std::string>(v);
        double d = 0;
        auto r = std::from_chars(s.data(), s.data() + s.size(), d);
        if (r.ec != std::errc())
            support::raise(13, "Type mismatch: '" + s + "' is not a number");
        return d;
    }
    return 0;
}

bool IsNull(const Value& v) { return std::holds_alternative<std::monostate>(v); }

FieldDef DescribeField(const OGRFieldDefn& d)
{
    FieldDef f;
    f.name = d.GetNameRef();
    f.alias = d.GetAlternativeNameRef() && *d.GetAlternativeNameRef() ? d.GetAlternativeNameRef() : f.name;
    f.length = d.GetWidth();
    switch (d.GetType()) {
    case OFTInteger:
    case OFTInteger64:
        f.type = d.GetWidth() > 0 && d.GetWidth() <= 4 ? kSmallInteger : kInteger;
        // Formats without widths (GeoPackage) get the widest a dBASE column holds.
        f.precision = d.GetWidth() > 0 ? d.GetWidth() : (d.GetType() == OFTInteger64 ? 18 : 9);
        break;
    case OFTReal:
        f.type = d.GetSubType() == OFSTFloat32 ? kSingle : kDouble;
        f.precision = d.GetWidth() > 0 ? d.GetWidth() : 24;
        f.scale = d.GetWidth() > 0 ? d.GetPrecision() : 15;
        break;
    case OFTDate:
    case OFTDateTime: f.type = kDate; break;
    default: f.type = kString; break;
    }
    return f;
}

namespace {

std::unique_ptr<OGRFieldDefn> toOgr(const FieldDef& f)
{
    OGRFieldType t = OFTString;
    int width = f.length, prec = 0;
    switch (f.type) {
    case kSmallInteger:
        t = OFTInteger;
        width = f.precision > 0 ? f.precision : (f.length > 0 ? f.length : 4);
        break;
    case kInteger:
        width = f.precision > 0 ? f.precision : (f.length > 0 ? f.length : 9);
        t = width > 9 ? OFTInteger64 : OFTInteger;
        break;
    case kSingle:
    case kDouble:
        t = OFTReal;
        width = f.precision > 0 ? f.precision : (f.length > 0 ? f.length : 19);
        prec = f.scale;
        break;
    case kDate: t = OFTDate; break;
    default:
        t = OFTString;
        width = f.length > 0 ? f.length : 50;
        break;
    }
    auto d = std::make_unique<OGRFieldDefn>(f.name.c_str(), t);
    d->SetWidth(std::min(width, t == OFTString ? 254 : 24));
    d->SetPrecision(prec);
    return d;
}

GDALDriver* shapefileDriver()
{
    EnsureGdal();
    auto* drv = GetGDALDriverManager()->GetDriverByName("ESRI Shapefile");
    if (!drv)
        support::raise(support::err::kHostFailure, "The shapefile driver is not available");
    return drv;
}

}  // namespace

Table Table::Open(const fs::path& path, bool update)
{
    EnsureGdal();
    CheckGdalPath(path);
    Table t;
    t.path_ = path;
    t.ds_.reset(GDALDataset::Open(path.string().c_str(), GDAL_OF_VECTOR | (update ? GDAL_OF_UPDATE : GDAL_OF_READONLY),
                                  nullptr, nullptr, nullptr));
    if (!t.ds_ || t.ds_->GetLayerCount() < 1)
        RaiseGdal("Cannot open the table '" + path.string() + "'");
    t.layer_ = t.ds_->GetLayer(0);
    t.featureClass_ = t.layer_->GetGeomType() != wkbNone;
    t.loadFields();
    return t;
}

Table Table::CreateDbf(const fs::path& path, const std::vector<FieldDef>& fields)
{
    Table t;
    t.path_ = fs::path(path).replace_extension(".dbf");
    t.create(nullptr, std::nullopt);
    for (std::size_t i = 1; i < fields.size(); ++i) {
        auto d = toOgr(fields[i]);
        if (t.layer_->CreateField(d.get(), FALSE) != OGRERR_NONE)
            RaiseGdal("Cannot add the field '" + fields[i].name + "' to '" + t.path_.string() + "'");
    }
    t.loadFields();
    for (std::size_t i = 1; i < fields.size() && i < t.fields_.size(); ++i)
        t.fields_[i].alias = fields[i].alias.empty() ? fields[i].name : fields[i].alias;
    return t;
}

void Table::create(const OGRSpatialReference* srs, std::optional<ShapeKind> kind)
{
    // A path GDAL cannot hold whole would be written elsewhere: refused before anything is.
    CheckGdalPath(path_);
    const std::string failed =
        std::string("Cannot create the ") + (kind ? "shapefile" : "table") + " '" + path_.string() + "'";
    // GDAL's shapefile code writes the code page file without checking that it
    // could be made (a full inode table crashes it), and leaves the projection
    // file out silently: both are made first here, so that a failure is told.
    for (const char* ext : {".cpg", ".prj"}) {
        if (!srs && std::string_view(ext) == ".prj")
            continue;
        const fs::path part = fs::path(path_).replace_extension(ext);
        errno = 0;
        VSILFILE* f = VSIFOpenL(part.string().c_str(), "wb");
        if (!f)
            support::raise(support::err::kFileAccess,
                           failed + ": cannot create '" + part.string() + "': " + std::strerror(errno));
        VSIFCloseL(f);
    }
    // Every error on the way counts, even where GDAL still hands back a dataset or layer.
    CPLErrorReset();
    ds_.reset(shapefileDriver()->Create(path_.string().c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    if (!ds_ || CPLGetLastErrorType() >= CE_Failure)
        RaiseGdal(failed);
    const char* opts[] = {"ENCODING=UTF-8", nullptr};
    const OGRwkbGeometryType type = !kind ? wkbNone : *kind == ShapeKind::MultiPolygon ? wkbMultiPolygon : wkbPolygon;
    layer_ = ds_->CreateLayer(path_.stem().string().c_str(), const_cast<OGRSpatialReference*>(srs), type,
                              const_cast<char**>(opts));
    if (!layer_ || CPLGetLastErrorType() >= CE_Failure)
        RaiseGdal(failed);
}

void DatasetCloser::operator()(GDALDataset* ds) const noexcept { GDALClose(GDALDataset::ToHandle(ds)); }
void FeatureDeleter::operator()(OGRFeature* f) const noexcept { OGRFeature::DestroyFeature(f); }

long long Table::Row::oid() const { return feature_->GetFID(); }
OGRGeometry* Table::Row::shape() const { return feature_->GetGeometryRef(); }
void Table::Row::setShape(const OGRGeometry* g) { feature_->SetGeometry(g); }

Table Table::CreateShapefile(const fs::path& path, ShapeKind kind, const OGRSpatialReference* srs,
                             const std::vector<FieldDef>& fields)
{
    Table t;
    t.path_ = fs::path(path).replace_extension(".shp");
    t.create(srs, kind);
    for (const auto& f : fields) {
        auto d = toOgr(f);
        if (t.layer_->CreateField(d.get(), FALSE) != OGRERR_NONE)
            RaiseGdal("Cannot add the field '" + f.name + "' to '" + t.path_.string() + "'");
    }
    t.featureClass_ = true;
    t.loadFields();
    for (std::size_t i = 0; i < fields.size() && i + 2 < t.fields_.size(); ++i)
        t.fields_[i + 2].alias = fields[i].alias.empty() ? fields[i].name : fields[i].alias;
    return t;
}

void Table::loadFields()
{
    fields_.clear();
    fields_.push_back({featureClass_ ? "FID" : "OID", featureClass_ ? "FID" : "OID", kOID, 4, 0, 0, false});
    if (featureClass_)
        fields_.push_back({"Shape", "Shape", kGeometry, 0, 0, 0, false});
    OGRFeatureDefn* defn = layer_->GetLayerDefn();
    for (int i = 0; i < defn->GetFieldCount(); ++i)
        fields_.push_back(DescribeField(*defn->GetFieldDefn(i)));
}

int Table::findField(std::string_view name) const
{
    for (std::size_t i = 0; i < fields_.size(); ++i)
        if (fields_[i].name == name)
            return static_cast<int>(i);
    return -1;
}

void Table::addField(const FieldDef& def)
{
    auto d = toOgr(def);
    if (layer_->CreateField(d.get(), FALSE) != OGRERR_NONE)
        RaiseGdal("Cannot add the field '" + def.name + "' to '" + path_.string() + "'");
    // Reloading the layout gives every field its stored name as alias (a
    // shapefile keeps none): the aliases already given stay.
    std::vector<std::string> aliases;
    for (const auto& f : fields_)
        aliases.push_back(f.alias);
    loadFields();
    for (std::size_t i = 0; i < aliases.size() && i + 1 < fields_.size(); ++i)
        fields_[i].alias = aliases[i];
    fields_.back().alias = def.alias.empty() ? fields_.back().name : def.alias;
}

int Table::ogrIndex(int pos) const
{
    const int first = featureClass_ ? 2 : 1;
    return pos >= first ? pos - first : -1;
}

Value Table::Row::get(int pos) const
{
    if (pos == 0)
        return static_cast<long long>(feature_->GetFID());
    const int i = table_->ogrIndex(pos);
    if (i < 0 || i >= feature_->GetFieldCount())
        return {};
    if (!feature_->IsFieldSetAndNotNull(i))
        return {};
    switch (feature_->GetFieldDefnRef(i)->GetType()) {
    case OFTInteger: return static_cast<long long>(feature_->GetFieldAsInteger(i));
    case OFTInteger64: return static_cast<long long>(feature_->GetFieldAsInteger64(i));
    case OFTReal: return feature_->GetFieldAsDouble(i);
    default: return std::string(feature_->GetFieldAsString(i));
    }
}

void Table::Row::set(int pos, const Value& v)
{
    const int i = table_->ogrIndex(pos);
    if (i < 0 || i >= feature_->GetFieldCount())
        support::raise(support::err::kInvalidCall,
                       "No field at position " + std::to_string(pos) + " in '" + table_->path().string() + "'");
    if (std::holds_alternative<long long>(v))
        feature_->SetField(i, static_cast<GIntBig>(std::get<long long>(v)));
    else if (std::holds_alternative<double>(v))
        feature_->SetField(i, std::get<double>(v));
    else if (std::holds_alternative<std::string>(v))
        feature_->SetField(i, std::get<std::string>(v).c_str());
    else
        feature_->SetFieldNull(i);
}

void Table::setFilter(std::string_view where)
{
    const std::string w(where);
    if (layer_->SetAttributeFilter(w.empty() ? nullptr : w.c_str()) != OGRERR_NONE)
        RaiseGdal("Invalid where clause [" + w + "] on '" + path_.string() + "'");
    layer_->ResetReading();
}

void Table::search(std::string_view where, const std::function<bool(const Row&)>& visit)
{
    setFilter(where);
    ForEachFeature(layer_, name(), path_, [&](const OGRFeatureUniquePtr& f) { return visit(Row(*this, f.get())); });
    layer_->SetAttributeFilter(nullptr);
}

void Table::update(std::string_view where, const std::function<bool(Row&)>& visit)
{
    setFilter(where);
    // The walk reads the attributes only, so that a large layer's shapes are
    // not all held at once; each row is given its shape back as it is written.
    struct ShapesIgnored {
        OGRLayer* layer;
        explicit ShapesIgnored(OGRLayer* l, bool ignore) : layer(ignore ? l : nullptr)
        {
            const char* geometry[] = {"OGR_GEOMETRY", nullptr};
            if (layer)
                layer->SetIgnoredFields(geometry);
        }
        ShapesIgnored(const ShapesIgnored&) = delete;
        ShapesIgnored& operator=(const ShapesIgnored&) = delete;
        ~ShapesIgnored()
        {
            if (layer)
                layer->SetIgnoredFields(nullptr);
        }
    };
    std::vector<OGRFeatureUniquePtr> changed;
    {
        const ShapesIgnored ignored(layer_, featureClass_);
        FeatureReader reader(layer_, name(), path_);
        for (OGRFeatureUniquePtr f = reader.next(); f; f = reader.next()) {
            Row r(*this, f.get());
            const bool more = visit(r);
            changed.push_back(std::move(f));
            if (!more)
                break;
        }
    }
    layer_->SetAttributeFilter(nullptr);
    // Written after the walk: rewriting a row while reading can disturb the reading order.
    for (auto& f : changed) {
        if (featureClass_) {
            const OGRFeatureUniquePtr whole(layer_->GetFeature(f->GetFID()));
            if (!whole)
                RaiseGdal("Cannot read back a row of '" + path_.string() + "'");
            f->SetGeometryDirectly(whole->StealGeometry());
        }
        if (layer_->SetFeature(f.get()) != OGRERR_NONE)
            RaiseGdal("Cannot update a row of '" + path_.string() + "'");
        f.reset();
    }
}

long long Table::rowCount(std::string_view where)
{
    setFilter(where);
    const long long n = layer_->GetFeatureCount(TRUE);
    layer_->SetAttributeFilter(nullptr);
    return n;
}

Table::Inserter::Inserter(Table& t)
    : table_(&t), feature_(OGRFeature::CreateFeature(t.layer_->GetLayerDefn())), row_(t, feature_.get())
{
}

void Table::Inserter::insert()
{
    feature_->SetFID(OGRNullFID);
    if (table_->layer_->CreateFeature(feature_.get()) != OGRERR_NONE)
        RaiseGdal("Cannot add a row to '" + table_->path().string() + "'");
}

void Table::Inserter::finish()
{
    if (table_->layer_->SyncToDisk() != OGRERR_NONE)
        RaiseGdal("Cannot write '" + table_->path().string() + "'");
}

void Table::finish()
{
    if (!ds_)
        return;
    if (layer_ && layer_->SyncToDisk() != OGRERR_NONE)
        RaiseGdal("Cannot write '" + path_.string() + "'");
    layer_ = nullptr;
    // Closing flushes the shapefile's headers; a write failure shows up as an error here.
    CPLErrorReset();
    GDALClose(GDALDataset::ToHandle(ds_.release()));
    if (CPLGetLastErrorType() >= CE_Failure)
        RaiseGdal("Cannot close '" + path_.string() + "'");
}

std::vector<std::string> ListDatasets(const fs::path& folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec)) {
        if (!e.is_regular_file())
            continue;
        const std::string ext = e.path().extension().string();
        std::string lower(ext);
        std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
        if (lower == ".shp" || lower == ".tif")
            names.push_back(e.path().stem().string());
        else if (lower == ".dbf" && !fs::exists(fs::path(e.path()).replace_extension(".shp")))
            names.push_back(e.path().stem().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

void DeleteDataset(const fs::path& folder, const std::string& name)
{
    static const char* exts[] = {".shp", ".shx", ".dbf", ".prj", ".cpg",     ".sbn",    ".sbx",
                                 ".qix", ".qpj", ".qml", ".tif", ".aux.xml", ".shp.xml"};
    for (const char* e : exts) {
        std::error_code ec;
        fs::remove(folder / (name + e), ec);
    }
}

}  // namespace halvo::host
