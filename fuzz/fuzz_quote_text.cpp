// Zone values quoted for a where clause: OGR's attribute filter must parse
// "F" = <quoted value> and match the features holding that value, none of
// its near neighbours. What OGR's = means for text is taken as it is: ASCII
// case is ignored, and a text ending in "+00" equals its time-stamp twin
// without the zone.

#include "fuzz_support.h"

#include "host/gdal_env.h"
#include "model/bas_util.h"

#include <cpl_error.h>
#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <cstdio>
#include <cctype>
#include <set>

#include <strings.h>

using namespace halvo;

namespace {

// A fresh in-memory layer with one text field "F" for each input: deleted
// features would leave the Memory driver ever longer walks.
OGRLayer* FreshLayer()
{
    static GDALDatasetUniquePtr ds = [] {
        host::EnsureGdal();
        CPLSetErrorHandler(CPLQuietErrorHandler);
        auto* drv = GetGDALDriverManager()->GetDriverByName("Memory");
        fuzz::Check(drv != nullptr, "the Memory driver is there");
        return GDALDatasetUniquePtr(drv->Create("zones", 0, 0, 0, GDT_Unknown, nullptr));
    }();
    if (ds->GetLayerCount() > 0)
        fuzz::Check(ds->DeleteLayer(0) == OGRERR_NONE, "the harness drops the last layer");
    OGRLayer* layer = ds->CreateLayer("zones", nullptr, wkbNone, nullptr);
    OGRFieldDefn f("F", OFTString);
    fuzz::Check(layer && layer->CreateField(&f) == OGRERR_NONE, "the harness makes a layer");
    return layer;
}

// The value and texts a careless quoting would mix it up with.
std::vector<std::string> Neighbours(const std::string& v)
{
    std::vector<std::string> n = {v, v + "x", "x" + v, v + " ", " " + v, v + "'", "'" + v, v + "\\", "\\" + v};
    if (!v.empty()) {
        n.push_back(v.substr(0, v.size() - 1));
        n.push_back(v.substr(1));
    }
    std::string upper = v, lower = v, unquoted;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    std::copy_if(v.begin(), v.end(), std::back_inserter(unquoted), [](char c) { return c != '\'' && c != '\\'; });
    n.push_back(upper);
    n.push_back(lower);
    n.push_back(unquoted);
    n.push_back("%");
    n.push_back("");
    return n;
}

// OGR SQL's = between a text field and a text literal.
bool OgrTextEqual(const std::string& field, const std::string& literal)
{
    auto endsInZone = [](const std::string& t) { return t.size() > 3 && t.compare(t.size() - 3, 3, "+00") == 0; };
    auto colonThird = [](const std::string& t) { return t.size() > 3 && t[t.size() - 3] == ':'; };
    if (endsInZone(field) && colonThird(literal))
        return strncasecmp(field.c_str(), literal.c_str(), literal.size()) == 0;
    if (colonThird(field) && endsInZone(literal))
        return strncasecmp(field.c_str(), literal.c_str(), field.size()) == 0;
    return strcasecmp(field.c_str(), literal.c_str()) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // A field value is a C string in OGR: it ends at the first NUL.
    std::string value(fuzz::AsText(data, size));
    value.resize(std::min(value.find('\0'), value.size()));

    OGRLayer* layer = FreshLayer();
    std::set<GIntBig> expected;
    for (const std::string& text : Neighbours(value)) {
        OGRFeatureUniquePtr f(OGRFeature::CreateFeature(layer->GetLayerDefn()));
        f->SetField(0, text.c_str());
        fuzz::Check(layer->CreateFeature(f.get()) == OGRERR_NONE, "the harness adds a feature");
        if (OgrTextEqual(text, value))
            expected.insert(f->GetFID());
    }

    const std::string where = "\"F\" = " + model::QuoteText(value);
    fuzz::Check(layer->SetAttributeFilter(where.c_str()) == OGRERR_NONE, "the quoted value parses");
    std::set<GIntBig> matched;
    layer->ResetReading();
    for (auto& f : *layer)
        matched.insert(f->GetFID());
    if (matched != expected) {
        std::fprintf(stderr, "where clause: %s\n", where.c_str());
        layer->SetAttributeFilter(nullptr);
        layer->ResetReading();
        for (auto& f : *layer)
            std::fprintf(stderr, "  fid %lld [%s] expected %d matched %d\n", static_cast<long long>(f->GetFID()),
                         f->GetFieldAsString(0), static_cast<int>(expected.count(f->GetFID())),
                         static_cast<int>(matched.count(f->GetFID())));
    }
    fuzz::Check(matched == expected, "the quoted value matches the features holding it, and no others");
    return 0;
}
