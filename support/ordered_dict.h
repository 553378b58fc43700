#pragma once
// A string-keyed dictionary that keeps its entries in insertion order, the way
// the parameter file's class and scenario tables are read and reported.

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace halvo::support {

template <class V>
class OrderedDict {
public:
    using Entry = std::pair<std::string, V>;

    bool exists(std::string_view key) const { return index_.count(std::string(key)) != 0; }
    std::size_t count() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }

    // Adds a new key; a key already present is an error, as in the old dictionary.
    void add(std::string key, V value)
    {
        if (exists(key))
            throw std::invalid_argument("This key is already associated with an element of this collection");
        index_.emplace(key, entries_.size());
        entries_.emplace_back(std::move(key), std::move(value));
    }

    const V* find(std::string_view key) const
    {
        auto it = index_.find(std::string(key));
        return it == index_.end() ? nullptr : &entries_[it->second].second;
    }
    V* find(std::string_view key)
    {
        auto it = index_.find(std::string(key));
        return it == index_.end() ? nullptr : &entries_[it->second].second;
    }

    // The old dictionary's lookup: a missing key is added with an empty value.
    V& item(std::string_view key)
    {
        if (V* v = find(key))
            return *v;
        add(std::string(key), V{});
        return entries_.back().second;
    }

    void clear()
    {
        entries_.clear();
        index_.clear();
    }

    auto begin() const { return entries_.begin(); }
    auto end() const { return entries_.end(); }

private:
    std::vector<Entry> entries_;
    std::unordered_map<std::string, std::size_t> index_;
};

}  // namespace halvo::support
