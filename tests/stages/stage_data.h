#pragma once
// A row of seven 100 m cells (one hectare each) and zones over it, kept in
// /vsimem/; the stages' own tables go to a scratch folder on disk.
//
//   cell:   0   1   2   3   4   5   6
//   class: 21  21  41  82  11   –   –     (– NODATA)
//   zone:   A   A   B   B       C   C

#include "host/table.h"
#include "params/run_request.h"
#include "support/error_reporting.h"
#include "support/run_case.h"
#include "support/scripted_ui.h"

#include <cpl_vsi.h>

#include <atomic>
#include <map>

namespace halvo::test {

constexpr double X0 = 1500000, Y0 = 1600000, S = 100;

// Class: High, Medium, Low (percent).
inline std::vector<params::ClassLine> Classes()
{
    return {{11, "Water", 0, 0, 0},
            {21, "Developed", 80, 55.5f, 30},
            {41, "Forest", 2, 1, 0.5f},
            {82, "Crops", 7.25f, 3.5f, 1}};
}

inline std::string Cells(int c0, int c1) { return CellBox(X0, Y0, S, c0, 0, c1, 1); }

struct StageData {
    ScriptedUi ui;
    TempDir scratch{"halvo-stage"};
    std::string mem;
    host::LayerPtr landCover;

    StageData()
    {
        static std::atomic<int> n{0};
        mem = "/vsimem/stage" + std::to_string(n++) + "/";
        landCover = LayerOf(WriteRaster(mem + "lc.tif", 7, 1, X0, Y0, S, S, {21, 21, 41, 82, 11, 0, 0}, 0.0),
                            host::LayerKind::Raster);
    }
    ~StageData() { VSIRmdirRecursive(mem.c_str()); }
    StageData(const StageData&) = delete;
    StageData& operator=(const StageData&) = delete;

    host::LayerPtr zones(const std::string& name, const std::vector<Feature>& features,
                         const std::string& field = "NAME", int epsg = 5070)
    {
        return LayerOf(WritePolygons(mem + name + ".shp", field, true, features, epsg));
    }
    // The A, B, C zones, each value optionally followed by a density code.
    host::LayerPtr abc(const std::string& a = "A", const std::string& b = "B", const std::string& c = "C")
    {
        return zones("abc", {{Cells(0, 2), a}, {Cells(2, 4), b}, {Cells(5, 7), c}});
    }
};

// The rows of a table: zone value → field name → number.
inline std::map<std::string, std::map<std::string, double>> Rows(host::Table& t)
{
    std::map<std::string, std::map<std::string, double>> rows;
    t.search({}, [&](const host::Table::Row& r) {
        auto& row = rows[host::ValueText(r.get(1))];
        for (int j = 2; j < t.fieldCount(); ++j)
            row[t.field(j).name] = host::ValueNumber(r.get(j));
        return true;
    });
    return rows;
}

}  // namespace halvo::test
