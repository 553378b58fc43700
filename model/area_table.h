#pragma once
// Land area and impervious area per zone and land-cover class: the area
// table the run's stages pass along.

#include "host/map.h"
#include "host/vector_ops.h"
#include "params/run_request.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace halvo::model {

using params::DensityLevel;
using params::Units;

// Square map units to acres (Feet) or hectares (Meters).
double UnitFactor(Units units);

// The chosen set's coefficients by class ID, as percentages.
class CoefficientTable {
public:
    explicit CoefficientTable(const std::vector<params::ClassLine>& classes);
    // Nothing when the set has no such class.
    std::optional<double> percent(long classId, DensityLevel level) const;

private:
    std::map<long, std::array<double, 3>> byId_;
};

// What the area tables are computed with.
struct AreaRules {
    const CoefficientTable* coefficients = nullptr;
    std::optional<DensityLevel> fixedLevel;  // nothing: per-polygon density levels
    Units units = Units::Meters;
    params::Coverage coverage = params::Coverage::Centre;
};

// The coefficient (a percentage) for a class at a level, if the set has one.
std::optional<double> CoefficientOf(const AreaRules& rules, long classId, const std::optional<DensityLevel>& level);

// One row of the area table: a zone, or a density piece of it (a zone and a
// level), and its land and impervious area per class column, in acres or hectares.
struct AreaRow {
    std::string zone;
    std::optional<DensityLevel> level;     // the run's one level, or the piece's; nothing: none known
    std::vector<double> land, impervious;  // one per column
};

// The area table the run's stages pass along, in memory. Every figure is
// kept as an 18-wide, 6-decimal dBASE field gives it back (see
// RoundLikeStoredField): the outputs have always been computed from such figures.
struct AreaRows {
    std::vector<long> classes;  // the columns: the tabulated classes, then scenario targets
    std::vector<AreaRow> rows;

    std::optional<std::size_t> findColumn(long classId) const;
    // The class's column, added (zero in every row) when missing.
    std::size_t column(long classId);
};

// The value an 18-wide, 6-decimal dBASE number field gives back for x.
double RoundLikeStoredField(double x);

// The zone as a dBASE text field gives it back: at most 254 bytes, without
// the spaces around it.
std::string StoredZoneText(std::string zone);

// Appends to `row` its land and impervious area per class from the area of
// its cells (square map units) per class. Throws Stopped after telling the
// user when a class has no coefficient at the row's level.
void FillAreas(AreaRow& row, const std::vector<std::int64_t>& classes, const std::vector<double>& areas,
               const AreaRules& rules);

// Folds density pieces back into one row per zone, summing every column, in
// order of first appearance.
AreaRows SumByZone(const AreaRows& pieces);

}  // namespace halvo::model
