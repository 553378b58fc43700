#pragma once
// Tables of the shapefile workspace: a shapefile's attribute table or a
// standalone dBASE table, seen the old way: position 0 is the object ID,
// position 1 the shape (feature classes only), then the attribute fields.

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

class GDALDataset;
class OGRFeature;
class OGRFieldDefn;
class OGRGeometry;
class OGRLayer;
class OGRSpatialReference;

namespace halvo::host {

// Closes a dataset (flushing it) or frees a feature; defined where GDAL is.
struct DatasetCloser {
    void operator()(GDALDataset* ds) const noexcept;
};
struct FeatureDeleter {
    void operator()(OGRFeature* f) const noexcept;
};

enum class ShapeKind { Polygon, MultiPolygon };

// Field type codes as the run's table layouts name them.
enum FieldType : int {
    kSmallInteger = 0,
    kInteger = 1,
    kSingle = 2,
    kDouble = 3,
    kString = 4,
    kDate = 5,
    kOID = 6,
    kGeometry = 7,
};

struct FieldDef {
    std::string name;
    std::string alias;
    int type = kString;
    int length = 0;
    int precision = 0;
    int scale = 0;
    bool editable = true;
};

using Value = std::variant<std::monostate, long long, double, std::string>;

// The text of a value as a zone name or where-clause literal: integers in
// decimal, reals in their shortest round-trip form, text unchanged.
std::string ValueText(const Value& v);
double ValueNumber(const Value& v);
bool IsNull(const Value& v);

// A field as the run's layouts describe it.
FieldDef DescribeField(const OGRFieldDefn& d);

class Table {
public:
    // Opens a .shp or .dbf; throws support::Error naming the file.
    static Table Open(const std::filesystem::path& path, bool update = false);
    // Creates a dBASE table; position 0 of `fields` is the object ID and is implicit.
    static Table CreateDbf(const std::filesystem::path& path, const std::vector<FieldDef>& fields);
    // Creates a shapefile; `fields` are the attribute fields only.
    static Table CreateShapefile(const std::filesystem::path& path, ShapeKind kind, const OGRSpatialReference* srs,
                                 const std::vector<FieldDef>& fields);

    Table(Table&&) noexcept = default;
    Table& operator=(Table&&) noexcept = default;
    ~Table() = default;

    bool isFeatureClass() const { return featureClass_; }
    std::string name() const { return path_.stem().string(); }
    const std::filesystem::path& path() const { return path_; }
    OGRLayer* ogr() const { return layer_; }

    int fieldCount() const { return static_cast<int>(fields_.size()); }
    const FieldDef& field(int pos) const { return fields_.at(static_cast<std::size_t>(pos)); }
    // Position of the field with exactly this name, or -1.
    int findField(std::string_view name) const;
    void addField(const FieldDef& def);

    class Row {
    public:
        explicit Row(const Table& t, OGRFeature* f) : table_(&t), feature_(f) {}
        long long oid() const;
        Value get(int pos) const;
        void set(int pos, const Value& v);
        OGRGeometry* shape() const;
        void setShape(const OGRGeometry* g);
        OGRFeature* ogr() const { return feature_; }

    private:
        const Table* table_;
        OGRFeature* feature_;
    };

    // Visits the rows matching `where` (all when empty); return false to stop.
    void search(std::string_view where, const std::function<bool(const Row&)>& visit);
    // As search, writing back each visited row: its attributes, the rows
    // being read without their shapes.
    void update(std::string_view where, const std::function<bool(Row&)>& visit);
    long long rowCount(std::string_view where = {});

    // A buffered insert cursor: fill buffer(), insert(), and finish() at the end.
    class Inserter {
    public:
        explicit Inserter(Table& t);
        Row& buffer() { return row_; }
        void insert();
        void finish();

    private:
        Table* table_;
        std::unique_ptr<OGRFeature, FeatureDeleter> feature_;
        Row row_;
    };
    Inserter inserter() { return Inserter(*this); }

    // Flushes and closes; throws when the data could not be written.
    void finish();

private:
    Table() = default;
    // Creates the dataset at path_ and its one layer (a table without `kind`).
    void create(const OGRSpatialReference* srs, std::optional<ShapeKind> kind);
    void loadFields();
    int ogrIndex(int pos) const;  // OGR field index of a position, -1 for OID/shape
    void setFilter(std::string_view where);

    std::filesystem::path path_;
    std::unique_ptr<GDALDataset, DatasetCloser> ds_;
    OGRLayer* layer_ = nullptr;
    bool featureClass_ = false;
    std::vector<FieldDef> fields_;
};

// The shapefile workspace: a folder of shapefiles, dBASE tables and rasters.
std::vector<std::string> ListDatasets(const std::filesystem::path& folder);
// Deletes a dataset with all its companion files (.shp .shx .dbf .prj .cpg ...).
void DeleteDataset(const std::filesystem::path& folder, const std::string& name);

}  // namespace halvo::host
