#include "params/read_params.h"

#include "params/param_escape.h"
#include "support/error_reporting.h"
#include "support/text_file.h"
#include "support/ui.h"

#include <filesystem>

namespace halvo::params {

namespace {
// The old runtime's numbers for what a bad line trips over.
constexpr long kSubscriptOutOfRange = 9;
constexpr long kKeyExists = 457;

std::vector<std::string> SplitHash(const std::string& line)
{
    std::vector<std::string> fields;
    if (line.empty())
        return fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t hash = line.find('#', start);
        fields.push_back(line.substr(start, hash == std::string::npos ? std::string::npos : hash - start));
        if (hash == std::string::npos)
            return fields;
        start = hash + 1;
    }
}

const std::string& Field(const std::vector<std::string>& fields, std::size_t i)
{
    if (i >= fields.size())
        support::raise(kSubscriptOutOfRange, "Subscript out of range");
    return fields[i];
}

template <class V>
void AddNew(support::OrderedDict<V>& dict, const std::string& key, V value)
{
    if (dict.exists(key))
        support::raise(kKeyExists, "This key is already associated with an element of this collection");
    dict.add(key, std::move(value));
}
}  // namespace

std::string ParameterReader::Value(std::string_view key) const
{
    const std::string* v = plain_.find(key);
    return v ? *v : std::string();
}

TextList ParameterReader::ParamCol(const std::vector<std::string>& fields)
{
    return fields.size() > 2 ? TextList(fields.begin() + 2, fields.end()) : TextList();
}

void ParameterReader::read(const std::filesystem::path& file)
{
    bool escaped = false, first = true;
    for (const std::string& raw : support::ReadLines(file)) {
        const std::string text = support::ToUtf8(raw);
        if (first && text == kEscapeLine) {
            escaped = true;  // values of this file are escaped
            first = false;
            continue;
        }
        first = false;
        auto fields = SplitHash(text);
        if (escaped)
            for (std::size_t i = 1; i < fields.size(); ++i)
                fields[i] = UnescapeValue(fields[i]);
        const std::string& key = Field(fields, 0);
        if (key == "CLASS")
            AddNew(landClasses_, Field(fields, 1), ParamCol(fields));
        else if (key == "DS")
            AddNew(devScenarios_, Field(fields, 1), ParamCol(fields));
        else
            AddNew(plain_, key, Field(fields, 1));
    }
}

}  // namespace halvo::params
