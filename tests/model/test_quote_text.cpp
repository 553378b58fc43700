// Zone values quoted for OGR's attribute filter: every value parses and finds
// its own features, backslashes and quotes included.

#include "host/gdal_env.h"
#include "model/bas_util.h"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>
#include <gtest/gtest.h>

#include <set>

using halvo::model::QuoteText;

TEST(QuoteText, BackslashesAndQuotesFindExactlyTheirValue)
{
    halvo::host::EnsureGdal();
    GDALDatasetUniquePtr ds(GetGDALDriverManager()->GetDriverByName("Memory")->Create("z", 0, 0, 0, GDT_Unknown,
                                                                                      nullptr));
    OGRLayer* layer = ds->CreateLayer("z", nullptr, wkbNone, nullptr);
    OGRFieldDefn field("F", OFTString);
    ASSERT_EQ(layer->CreateField(&field), OGRERR_NONE);
    // Backslashes before a quote or at the end once broke the clause.
    const std::vector<std::string> values = {"Oak's Run", "a\\",   "a\\'b", "\\",   "\\\\", "x\\'",
                                             "''",        "it\\''s", "C:\\data\\", "",     "plain"};
    for (const auto& v : values) {
        OGRFeatureUniquePtr f(OGRFeature::CreateFeature(layer->GetLayerDefn()));
        f->SetField(0, v.c_str());
        ASSERT_EQ(layer->CreateFeature(f.get()), OGRERR_NONE);
    }
    for (const auto& v : values) {
        const std::string where = "\"F\" = " + QuoteText(v);
        ASSERT_EQ(layer->SetAttributeFilter(where.c_str()), OGRERR_NONE) << where;
        std::set<std::string> found;
        for (auto& f : *layer)
            found.insert(f->GetFieldAsString(0));
        EXPECT_EQ(found, std::set<std::string>{v}) << where;
    }
}
