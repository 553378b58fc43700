// A run's request survives a saved parameter file: written from a request,
// read back into one, with its layers placed again from their sources.

#include "params/param_writer.h"
#include "params/read_params.h"
#include "params/run_request.h"

#include "support/scripted_ui.h"
#include "support/test_paths.h"

#include <gtest/gtest.h>

using namespace halvo;
using namespace halvo::params;

namespace {

host::LayerPtr Layer(host::Map& map, const std::string& name, host::LayerKind kind)
{
    auto l = std::make_shared<host::Layer>();
    l->name = name;
    l->kind = kind;
    l->source = "/data/" + name;
    map.layers.push_back(l);
    return l;
}

RunRequest RoundTrip(const RunRequest& r)
{
    test::TempDir dir("halvo-saved");
    SaveParameterFile(SavedParametersOf(r, r.units.value_or(Units::Meters)), dir / "run.txt");
    ParameterReader reader;
    reader.read(dir / "run.txt");
    const RunParameters p = ParametersOf(reader);
    return RequestOf(p, MapOfSources(p));
}

}  // namespace

TEST(RunRequest, SurvivesTheParameterFile)
{
    test::ScriptedUi ui;
    host::Map map;
    RunRequest r;
    r.landCover = Layer(map, "landcover", host::LayerKind::Raster);
    r.analysis = Layer(map, "watersheds", host::LayerKind::Feature);
    r.units = Units::Feet;
    r.field = "NAME";
    r.setName = "Set #2";
    r.classes = {{21, "Developed - Open Space", 80, 55.5f, 0.1f}, {1000, "Custom", 12.25f, 3, 1}};
    DensityLayer d{Layer(map, "tracts", host::LayerKind::Feature), "DENSITY", 500.5, 100, "500.5", "100"};
    r.density = d;
    r.scenarios = {{1, Layer(map, "newdev", host::LayerKind::Feature), 21, "Developed - Open Space"},
                   {3, map.layers[1], 1000, "Custom"}};
    r.output = "/out/result.shp";
    r.layerName = "Result with spaces";
    r.coverage = Coverage::Exact;

    r.analysis->sourceLayer = "zones|2";
    const RunRequest back = RoundTrip(r);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(back.landCover->source, r.landCover->source);
    EXPECT_EQ(back.analysis->sourceLayer, "zones|2");
    EXPECT_EQ(back.setName, "Set #2");
    EXPECT_EQ(back.units, Units::Feet);
    EXPECT_EQ(back.field, "NAME");
    ASSERT_EQ(back.classes.size(), 2u);
    EXPECT_EQ(back.classes[1].id, 1000);
    EXPECT_EQ(back.classes[0].name, "Developed - Open Space");
    EXPECT_EQ(back.classes[0].low, 0.1f) << "a single-precision coefficient comes back as the same float";
    const auto* density = std::get_if<DensityLayer>(&back.density);
    ASSERT_NE(density, nullptr);
    EXPECT_EQ(density->layer->name, "tracts");
    EXPECT_EQ(density->high, 500.5);
    EXPECT_EQ(density->lowText, "100");
    ASSERT_EQ(back.scenarios.size(), 2u);
    EXPECT_EQ(back.scenarios[1].row, 3);
    EXPECT_EQ(back.scenarios[1].layer->source, r.analysis->source);
    EXPECT_EQ(back.scenarios[1].classId, 1000);
    EXPECT_EQ(back.output, r.output);
    EXPECT_EQ(back.layerName, r.layerName);
    EXPECT_EQ(back.coverage, Coverage::Exact);

    // A fixed level comes back as that level.
    r.density = DensityLevel::Low;
    EXPECT_EQ(std::get<DensityLevel>(RoundTrip(r).density), DensityLevel::Low);
}

TEST(RunRequest, RefusesWhatItCannotUse)
{
    test::ScriptedUi ui;
    host::Map map;
    Layer(map, "landcover", host::LayerKind::Raster);
    Layer(map, "zones", host::LayerKind::Feature);
    RunParameters p;
    p.landCoverLayer = "landcover";
    p.analysisLayer = "zones";
    p.populationDensity = 1;
    p.classes = {{21, "Developed", 50, 40, 30}};
    EXPECT_NO_THROW(RequestOf(p, map));

    auto refused = [&](RunParameters q, const std::string& why) {
        try {
            RequestOf(q, map);
            ADD_FAILURE() << "accepted; expected: " << why;
        } catch (const std::exception& e) {
            EXPECT_NE(std::string(e.what()).find(why), std::string::npos) << e.what();
        }
    };
    RunParameters q = p;
    q.analysisLayer = "gone";
    refused(q, "'gone' is not in the map");
    q = p;
    q.populationDensity = 3;
    q.densityLayer = "zones";
    q.densityField = "POP";
    q.densityHigh = "5,000";
    q.densityLow = "100";
    refused(q, "'5,000' is not a number");
    q.densityHigh = "inf";
    refused(q, "'inf' is not a number");
    q = p;
    q.populationDensity = 4;
    refused(q, "Population Density option not defined");
}
