// Class IDs of every size a coefficient set can hold run through tabulation,
// scenarios, per-polygon density and percent impervious.

#include "model/area_fields.h"
#include "scene.h"

#include <gtest/gtest.h>

#include <climits>
#include <set>

using namespace halvo;
using namespace halvo::test;
namespace fs = std::filesystem;

// Wide class IDs (16-bit, 32-bit, the largest an import takes) lose no
// digit on the way through tabulation, scenarios, density and the sums.
TEST(ClassIds, WideIdsKeepTheirCoefficientsThroughEveryStage)
{
    RunCase rc;
    // 4 ha of class 1000, 6 ha of class 65535; the scenario covers cells 3 and 4, one of each.
    const auto lc = rc.raster("lc", 10, 1, X0, Y0, S, S,
                              {1000, 1000, 1000, 1000, 65535, 65535, 65535, 65535, 65535, 65535}, {}, 5070, "UInt16");
    const auto wide = rc.raster("wide", 3, 1, X0, Y0, S, S, {0, INT_MAX, 123456789}, {}, 5070, "Int32");
    const auto zones = rc.polygons("zones", "NAME", true, {{Box(0, 0, 5, 1), "West"}, {Box(5, 0, 10, 1), "East"}});
    const auto dev = rc.polygons("dev", "ID", false, {{Box(3, 0, 5, 1), "", 1}});
    const auto dens = rc.polygons("dens", "DENS", false, {{Box(0, 0, 2, 1), "", 900}, {Box(2, 0, 10, 1), "", 50}});
    const auto coef =
        rc.csv("coef.csv", "Value,ClassName,High,Medium,Low\r\n1000,Paved,90,80,70\r\n65535,Meadow,10,5,2\r\n"
                           "0,Zero,10,10,10\r\n2147483647,Largest,50,50,50\r\n"
                           "123456789,Nine digits,100,100,100\r\n");
    const std::string scenario = " --scenario " + dev.string(),
                      layer = " --density-layer " + dens.string() + " --density-field DENS --high 500 --low 100";
    struct Case {
        fs::path raster;
        std::string more;
        const char* zone;
        double impervious;
    };
    const Case cases[] = {
        {lc, " --density medium", "West", 4 * 0.8 + 1 * 0.05},
        {lc, " --density medium", "East", 5 * 0.05},
        {lc, " --density medium" + scenario + "=65535", "West", 3 * 0.8 + 2 * 0.05},
        // High in the first two cells, Low in the rest; cells 3 and 4 become class 1000.
        {lc, layer + scenario + "=1000", "West", 2 * 0.9 + 3 * 0.7},
        {lc, layer + scenario + "=1000", "East", 5 * 0.02},
        {wide, " --density medium", "West", 0.1 + 0.5 + 1.0},
    };
    const auto out = rc.data() / "out.shp";
    for (const auto& c : cases) {
        const auto r = rc.cli("run --landcover " + c.raster.string() + " --analysis " + zones.string() +
                              " --field NAME --coefficients-csv " + coef.string() + " --output " + out.string() +
                              " --yes" + c.more);
        ASSERT_EQ(r.status, 0) << c.more << ": " << r.err;
        const auto z = rc.read(out, "NAME").at(c.zone);
        EXPECT_EQ(z.total, c.raster == lc ? 5 : 3) << c.more;
        EXPECT_EQ(z.impervious, Stored(c.impervious, 6)) << c.more << " " << c.zone;
    }
    EXPECT_TRUE(rc.tempIsEmpty());
}

TEST(ClassIds, FieldNamesFitDbaseAndStayApart)
{
    // Names of IDs below 1000 are the ones runs always used.
    EXPECT_EQ(model::AreaFieldName("21"), "area-21");
    EXPECT_EQ(model::ISAreaFieldName("999"), "ISarea-999");
    EXPECT_EQ(model::ISAreaFieldName("-99"), "ISarea--99");
    // Longer IDs are written in full as long as they fit.
    EXPECT_EQ(model::AreaFieldName("1000"), "ar1000");
    EXPECT_EQ(model::ISAreaFieldName("65535"), "IS65535");
    EXPECT_EQ(model::ISAreaFieldName("99999999"), "IS99999999");

    std::set<std::string> seen;
    auto check = [&](long long id) {
        const std::string t = std::to_string(id);
        const std::string a = model::AreaFieldName(t), is = model::ISAreaFieldName(t);
        EXPECT_LE(a.size(), 10u) << a;
        EXPECT_LE(is.size(), 10u) << is;
        EXPECT_TRUE(model::IsAreaField(a) && !model::IsISAreaField(a)) << a;
        EXPECT_TRUE(model::IsISAreaField(is) && !model::IsAreaField(is)) << is;
        // dBASE compares names without case.
        auto upper = [](std::string s) {
            for (auto& c : s)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            return s;
        };
        EXPECT_TRUE(seen.insert(upper(a)).second) << a;
        EXPECT_TRUE(seen.insert(upper(is)).second) << is;
    };
    for (long long id : {0LL,    1LL,     9LL,     10LL,       99LL,        100LL,        999LL,        1000LL,
                         9999LL, 65535LL, 65536LL, 99999999LL, 100000000LL, 123456789LL,  2147483647LL, 4294967295LL,
                         -1LL,   -99LL,   -100LL,  -9999999LL, -10000000LL, -2147483648LL})
        check(id);
    for (long long id = -2000; id <= 70000; ++id)
        if (!seen.count("AREA-" + std::to_string(id)) && !seen.count("AR" + std::to_string(id)))
            check(id);
}

TEST(ClassIds, AZoneFieldNamedLikeAClassFieldIsNotSummed)
{
    Scene s(2, 1, {21, 21}, "Value,ClassName,High,Medium,Low\r\n21,Developed,80,50,30\r\n");
    for (const std::string field : {"area_name", "IS2020"}) {
        const auto r = s.run(s.rc.polygons("zones_" + field, field, true, {{Box(0, 0, 2, 1), "Mill"}}), "", field);
        ASSERT_EQ(r.status, 0) << field << ": " << r.err;
        const auto z = s.result(field).at("Mill");
        EXPECT_EQ(z.total, 2) << field;
        EXPECT_EQ(z.impervious, 1) << field;
    }
}
