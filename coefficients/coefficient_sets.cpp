#include "coefficients/coefficient_sets.h"

#include "coefficients/number_text.h"
#include "support/error_reporting.h"

#include <cmath>
#include <sstream>
#include <unordered_set>

namespace halvo::coefficients {

namespace {
// The old runtime's conversion errors, so reports read as users know them.
constexpr long kSubscriptOutOfRange = 9;
constexpr long kOverflow = 6;
constexpr long kTypeMismatch = 13;

std::string Str(std::string_view s) { return std::string(s); }

// NodeName() views string literals, so data() is a terminated C string.

void AppendText(pugi::xml_node parent, std::string_view name, const std::string& text)
{
    pugi::xml_node e = parent.append_child(Str(name).c_str());
    // An empty value stays out so the element keeps its short "<X/>" form.
    if (!text.empty())
        e.text().set(text.c_str());
}

void CollectText(pugi::xml_node n, std::string& out)
{
    for (pugi::xml_node c : n.children()) {
        if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata)
            out += c.value();
        else if (c.type() == pugi::node_element)
            CollectText(c, out);
    }
}

float Coefficient(pugi::xml_node node, const char* name, const std::string& idText)
{
    const std::string text = GetNodeText(node, name);
    const auto v = ParseNumber(text);
    if (!v)
        support::raise(kTypeMismatch,
                       "Type mismatch: " + std::string(name) + " of LCClass ID=\"" + idText + "\" is '" + text + "'");
    // Any number a float holds is kept as it is, also outside 0 to 100: the
    // store may be older than the checks, and the editor must show such a value
    // to have it corrected. What uses a set checks it (SetFault).
    if (const auto single = ParseSingle(text))
        return *single;
    if (std::fabs(*v) > 1)
        support::raise(kOverflow,
                       "Overflow: " + std::string(name) + " of LCClass ID=\"" + idText + "\" is '" + text + "'");
    // Too small for single precision: as good as 0.
    return static_cast<float>(*v);
}
}  // namespace

namespace {
// Walks the tree without recursion.
bool WithinDepth(const pugi::xml_node root, int maxDepth)
{
    pugi::xml_node n = root.first_child();
    int depth = 1;
    while (n) {
        if (depth > maxDepth)
            return false;
        if (n.first_child()) {
            n = n.first_child();
            ++depth;
            continue;
        }
        while (!n.next_sibling()) {
            n = n.parent();
            --depth;
            if (n == root)
                return true;
        }
        n = n.next_sibling();
    }
    return true;
}
}  // namespace

namespace detail {
void SubscriptOutOfRange() { support::raise(kSubscriptOutOfRange, "Subscript out of range"); }

std::string SerializeRaw(const pugi::xml_document& doc)
{
    std::ostringstream out;
    doc.save(out, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
    return out.str();
}

bool ParseXml(pugi::xml_document& doc, std::string_view text)
{
    if (text.size() > kMaxStoreBytes)
        return false;
    // The parser itself does not recurse; what reads the tree afterwards does.
    if (!doc.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8))
        return false;
    return WithinDepth(doc, kMaxStoreDepth);
}
}  // namespace detail

std::string GetNodeText(pugi::xml_node node, std::string_view path)
{
    if (!node)
        return {};
    try {
        const pugi::xpath_node hit = node.select_node(Str(path).c_str());
        std::string text;
        if (hit.attribute())
            text = hit.attribute().value();
        else if (hit.node())
            CollectText(hit.node(), text);
        return Str(TrimSpace(text));
    } catch (const std::exception&) {
        return {};
    }
}

pugi::xml_node CoverClass::CreateNode(pugi::xml_node parent) const
{
    pugi::xml_node e = parent.append_child(NodeName().data());
    e.append_attribute("ID").set_value(std::to_string(ID).c_str());
    AppendText(e, "LCName", LCName);
    AppendText(e, "LCHigh", FormatSingle(LCHigh));
    AppendText(e, "LCMed", FormatSingle(LCMed));
    AppendText(e, "LCLow", FormatSingle(LCLow));
    return e;
}

void CoverClass::LoadNode(pugi::xml_node node)
{
    if (!node)
        return;
    const std::string idText = GetNodeText(node, "@ID");
    const auto number = ParseNumber(idText);
    if (!number)
        support::raise(kTypeMismatch, "Type mismatch: LCClass ID=\"" + idText + "\"");
    const auto id = RoundToInt32(*number);
    if (!id)
        support::raise(kOverflow, "Overflow: LCClass ID=\"" + idText + "\"");
    const float high = Coefficient(node, "LCHigh", idText);
    const float med = Coefficient(node, "LCMed", idText);
    const float low = Coefficient(node, "LCLow", idText);
    ID = *id;
    LCName = GetNodeText(node, "LCName");
    LCHigh = high;
    LCMed = med;
    LCLow = low;
}

pugi::xml_node CoverClasses::CreateNode(pugi::xml_node parent) const
{
    pugi::xml_node e = parent.append_child(NodeName().data());
    for (const CoverClass& c : *this)
        c.CreateNode(e);
    return e;
}

void CoverClasses::LoadNode(pugi::xml_node node)
{
    if (!node)
        return;
    Clear();
    for (pugi::xml_node c : node.children(CoverClass::NodeName().data())) {
        CoverClass item;
        item.LoadNode(c);
        Add(std::move(item));
    }
}

pugi::xml_node CoeffSet::CreateNode(pugi::xml_node parent) const
{
    pugi::xml_node e = parent.append_child(NodeName().data());
    AppendText(e, "LCType", LCType);
    LCClasses.CreateNode(e);
    return e;
}

void CoeffSet::LoadNode(pugi::xml_node node)
{
    if (!node)
        return;
    LCType = GetNodeText(node, "LCType");
    LCClasses.Clear();
    LCClasses.LoadNode(node.child(CoverClasses::NodeName().data()));
}

pugi::xml_node CoeffSets::CreateNode(pugi::xml_node parent) const
{
    pugi::xml_node e = parent.append_child(NodeName().data());
    for (const CoeffSet& d : *this)
        d.CreateNode(e);
    return e;
}

void CoeffSets::LoadNode(pugi::xml_node node)
{
    if (!node)
        return;
    // Sets read before a faulty class stay; the caller counts the load as failed.
    Clear();
    for (pugi::xml_node c : node.children(CoeffSet::NodeName().data())) {
        CoeffSet& set = Add();
        set.LoadNode(c);
    }
}

pugi::xml_node CoeffStore::CreateNode(pugi::xml_node parent) const
{
    pugi::xml_node e = parent.append_child(NodeName().data());
    ISLCDefs.CreateNode(e);
    return e;
}

void CoeffStore::LoadNode(pugi::xml_node node)
{
    if (!node)
        return;
    ISLCDefs.LoadNode(node.child(CoeffSets::NodeName().data()));
}

CoeffSet* FindSet(CoeffStore& model, std::string_view name)
{
    for (CoeffSet& d : model.ISLCDefs)
        if (d.LCType == name)
            return &d;
    return nullptr;
}

const CoeffSet* FindSet(const CoeffStore& model, std::string_view name)
{
    for (const CoeffSet& d : model.ISLCDefs)
        if (d.LCType == name)
            return &d;
    return nullptr;
}

std::optional<std::int32_t> DuplicateClassId(const CoverClasses& classes)
{
    std::unordered_set<std::int32_t> seen;
    for (const CoverClass& c : classes)
        if (!seen.insert(c.ID).second)
            return c.ID;
    return std::nullopt;
}

std::string DuplicateIdFault(const CoeffSet& set)
{
    if (const auto id = DuplicateClassId(set.LCClasses))
        return "The coefficient set '" + set.LCType + "' holds the class ID " + std::to_string(*id) +
               " more than once; each class ID may stand once in a set.";
    return {};
}

std::string CoefficientFault(std::string_view setName, std::int64_t id, std::string_view className, float high,
                             float medium, float low)
{
    const std::pair<const char*, float> levels[] = {{"High", high}, {"Medium", medium}, {"Low", low}};
    for (const auto& [level, value] : levels)
        if (!(value >= 0 && value <= 100))
            return "The coefficient set '" + std::string(setName) + "' gives the class " + std::to_string(id) + " (" +
                   std::string(className) + ") the " + level + " coefficient " + FormatSingle(value) +
                   "; coefficients are percentages from 0 to 100. Correct it in the coefficient editor, or export "
                   "the set, correct the file and import it under a new name.";
    return {};
}

std::string SetFault(const CoeffSet& set)
{
    if (std::string fault = DuplicateIdFault(set); !fault.empty())
        return fault;
    for (const CoverClass& c : set.LCClasses)
        if (std::string fault = CoefficientFault(set.LCType, c.ID, c.LCName, c.LCHigh, c.LCMed, c.LCLow);
            !fault.empty())
            return fault;
    return {};
}

}  // namespace halvo::coefficients
