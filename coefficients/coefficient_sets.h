#pragma once
// The coefficient sets as one object tree, read from and written to the store
// whole: CoeffStore -> CoeffSets -> CoeffSet -> CoverClasses -> CoverClass.
// Each class builds and reads its own XML element.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <pugixml.hpp>

namespace halvo::coefficients {

// A list addressed by 1-based position, without keys. Items sit behind
// pointers so a reference to one survives adding and removing others.
template <class T>
class ItemList {
public:
    ItemList() = default;
    ItemList(const ItemList& other) { copyFrom(other); }
    ItemList& operator=(const ItemList& other)
    {
        if (this != &other) {
            items_.clear();
            copyFrom(other);
        }
        return *this;
    }
    ItemList(ItemList&&) noexcept = default;
    ItemList& operator=(ItemList&&) noexcept = default;
    ~ItemList() = default;

    T& Add(T item = T{})
    {
        items_.push_back(std::make_unique<T>(std::move(item)));
        return *items_.back();
    }
    // Throws support::Error "Subscript out of range" outside 1..Count.
    T& Item(std::int32_t index) { return *items_[slot(index)]; }
    const T& Item(std::int32_t index) const { return *items_[slot(index)]; }
    std::int32_t Count() const { return static_cast<std::int32_t>(items_.size()); }
    void Remove(std::int32_t index) { items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(slot(index))); }
    void Clear() { items_.clear(); }

    template <class Ptr, class Ref>
    class Iter {
    public:
        explicit Iter(Ptr p) : p_(p) {}
        Ref operator*() const { return **p_; }
        auto operator->() const { return &**p_; }
        Iter& operator++()
        {
            ++p_;
            return *this;
        }
        bool operator==(const Iter& o) const { return p_ == o.p_; }
        bool operator!=(const Iter& o) const { return p_ != o.p_; }

    private:
        Ptr p_;
    };
    using iterator = Iter<typename std::vector<std::unique_ptr<T>>::iterator, T&>;
    using const_iterator = Iter<typename std::vector<std::unique_ptr<T>>::const_iterator, const T&>;
    // NewEnum: the items in list order.
    iterator begin() { return iterator(items_.begin()); }
    iterator end() { return iterator(items_.end()); }
    const_iterator begin() const { return const_iterator(items_.begin()); }
    const_iterator end() const { return const_iterator(items_.end()); }

private:
    std::size_t slot(std::int32_t index) const;
    void copyFrom(const ItemList& other)
    {
        items_.reserve(other.items_.size());
        for (const auto& p : other.items_)
            items_.push_back(std::make_unique<T>(*p));
    }
    std::vector<std::unique_ptr<T>> items_;
};

// What the store reader takes: a store nests six elements deep and holds a
// few sets of up to 65536 classes. Deeper or bigger text is not a store, and
// refusing it up front keeps a hostile file from exhausting stack or memory.
inline constexpr std::size_t kMaxStoreBytes = std::size_t{64} << 20;
inline constexpr int kMaxStoreDepth = 32;

namespace detail {
[[noreturn]] void SubscriptOutOfRange();
std::string SerializeRaw(const pugi::xml_document& doc);
// Parses `text`; false (also for text over kMaxStoreBytes or nested deeper
// than kMaxStoreDepth) leaves `doc` unusable and the caller changes nothing.
bool ParseXml(pugi::xml_document& doc, std::string_view text);
}  // namespace detail

template <class T>
std::size_t ItemList<T>::slot(std::int32_t index) const
{
    if (index < 1 || index > Count())
        detail::SubscriptOutOfRange();
    return static_cast<std::size_t>(index - 1);
}

// The shared `XML` property: the element as its own document, without
// declaration or whitespace between elements, and back.
template <class Derived>
class XmlPersistent {
public:
    std::string XML() const
    {
        pugi::xml_document doc;
        static_cast<const Derived&>(*this).CreateNode(doc);
        return detail::SerializeRaw(doc);
    }
    // Text that does not parse changes nothing.
    void XML(std::string_view text)
    {
        pugi::xml_document doc;
        if (detail::ParseXml(doc, text))
            static_cast<Derived&>(*this).LoadNode(doc.document_element());
    }
};

// The text of the first node `path` (an XPath relative to `node`)
// selects, without surrounding white space; empty when it selects nothing or
// the expression is bad.
std::string GetNodeText(pugi::xml_node node, std::string_view path);

// CreateNode appends the element to `parent` (a pugi::xml_document makes it
// the document element) and returns it. LoadNode does nothing for an empty node.

class CoverClass : public XmlPersistent<CoverClass> {
public:
    std::int32_t ID = 0;
    std::string LCName;
    float LCHigh = 0;
    float LCMed = 0;
    float LCLow = 0;

    static constexpr std::string_view NodeName() { return "LCClass"; }
    pugi::xml_node CreateNode(pugi::xml_node parent) const;
    // Throws support::Error when ID or a coefficient is missing or not a number.
    void LoadNode(pugi::xml_node node);
    static std::string GetNodeText(pugi::xml_node node, std::string_view path)
    {
        return coefficients::GetNodeText(node, path);
    }
};

class CoverClasses : public ItemList<CoverClass>, public XmlPersistent<CoverClasses> {
public:
    static constexpr std::string_view NodeName() { return "LCClasses"; }
    pugi::xml_node CreateNode(pugi::xml_node parent) const;
    void LoadNode(pugi::xml_node node);
};

class CoeffSet : public XmlPersistent<CoeffSet> {
public:
    std::string LCType;
    CoverClasses LCClasses;

    static constexpr std::string_view NodeName() { return "ISLCDef"; }
    pugi::xml_node CreateNode(pugi::xml_node parent) const;
    void LoadNode(pugi::xml_node node);
    static std::string GetNodeText(pugi::xml_node node, std::string_view path)
    {
        return coefficients::GetNodeText(node, path);
    }
};

class CoeffSets : public ItemList<CoeffSet>, public XmlPersistent<CoeffSets> {
public:
    static constexpr std::string_view NodeName() { return "ISLCDefs"; }
    pugi::xml_node CreateNode(pugi::xml_node parent) const;
    void LoadNode(pugi::xml_node node);
};

class CoeffStore : public XmlPersistent<CoeffStore> {
public:
    CoeffSets ISLCDefs;

    static constexpr std::string_view NodeName() { return "ISModelProperties"; }
    pugi::xml_node CreateNode(pugi::xml_node parent) const;
    // Keeps the sets when the element has no ISLCDefs child; the root's own
    // name is not looked at.
    void LoadNode(pugi::xml_node node);
};

// The first set whose name equals `name` exactly (case-sensitive), or null.
// A store may hold two sets of one name (older merges made them); the first
// is the one every lookup takes, so a run never mixes them.
CoeffSet* FindSet(CoeffStore& model, std::string_view name);
const CoeffSet* FindSet(const CoeffStore& model, std::string_view name);

// The first class ID that stands more than once in the list, if any: a run
// looks classes up by ID, so such a set cannot be run.
std::optional<std::int32_t> DuplicateClassId(const CoverClasses& classes);

// Why the set cannot be stored: a class ID twice (names the set and the ID);
// empty when it can. Merge refuses such a set.
std::string DuplicateIdFault(const CoeffSet& set);

// Why a class cannot be used in a run: a coefficient outside 0 to 100, named
// with its set, class and level; empty when it can. The store keeps such
// values as they are; import and the editor refuse them.
std::string CoefficientFault(std::string_view setName, std::int64_t id, std::string_view className, float high,
                             float medium, float low);

// Why the set cannot be run: DuplicateIdFault, then CoefficientFault of the
// first class that has one; empty when it can.
std::string SetFault(const CoeffSet& set);

}  // namespace halvo::coefficients
