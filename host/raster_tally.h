#pragma once
// Per-worker cell tallies by zone and cell value. Each worker fills its own
// over the strips it takes; forEach hands the totals to the merge, so tallies
// of disjoint strips simply add up. Whole cells are counted; the shares of
// cells a zone's boundary cuts (exact coverage) are summed apart.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <map>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

namespace halvo::host {

// Byte cells: a dense 256-bin histogram per zone the worker is in, indexed
// by the raw byte. Zones the scan has left (retire) fold their histogram
// into a short list of (value, cells) and give it to the next zone, so the
// histograms grow with the zones a strip holds, not with all the zones.
class ByteTally {
public:
    explicit ByteTally(int zoneCount) : slotOf_(static_cast<std::size_t>(zoneCount), -1), totals_(slotOf_.size()) {}

    // Cells values[0 .. n) all lie in zone.
    void countRun(int zone, const std::uint8_t* values, std::size_t n)
    {
        Slot& slot = slotFor(zone);
        if (n > kFoldAt - slot.cells)
            fold(zone, slot);
        slot.cells += n;
        // Land cover comes in patches, so neighbouring cells often hit the
        // same bin; spreading them over kCopies sub-histograms breaks up that
        // chain of dependent increments.
        std::uint32_t* h = bins_.data() + static_cast<std::size_t>(slot.index) * kBins;
        std::size_t i = 0;
        for (; i + kCopies <= n; i += kCopies)
            for (std::size_t k = 0; k < kCopies; ++k)
                ++h[k * 256 + values[i + k]];
        for (; i < n; ++i)
            ++h[values[i]];
    }

    // Folds the histograms of the zones whose last row lies above `row`.
    void retire(int row, const std::vector<int>& zoneEndRow)
    {
        for (std::size_t i = 0; i < active_.size();) {
            const int zone = active_[i];
            if (zoneEndRow[static_cast<std::size_t>(zone)] > row) {
                ++i;
                continue;
            }
            Slot& slot = slots_[static_cast<std::size_t>(slotOf_[static_cast<std::size_t>(zone)])];
            fold(zone, slot);
            free_.push_back(slot.index);
            slotOf_[static_cast<std::size_t>(zone)] = -1;
            active_[i] = active_.back();
            active_.pop_back();
        }
    }

    // fn(class value, zone, cells) for every non-empty bin.
    template <class Fn>
    void forEach(bool signedBytes, Fn&& fn)
    {
        for (int zone : active_)
            fold(zone, slots_[static_cast<std::size_t>(slotOf_[static_cast<std::size_t>(zone)])]);
        for (std::size_t z = 0; z < totals_.size(); ++z)
            for (const auto& [v, n] : totals_[z])
                fn(signedBytes ? static_cast<std::int64_t>(static_cast<std::int8_t>(v)) : static_cast<std::int64_t>(v),
                   static_cast<int>(z), n);
    }

private:
    static constexpr std::size_t kCopies = 4;
    static constexpr std::size_t kBins = 256 * kCopies;  // per slot
    // A slot folds before any bin could pass what 32 bits hold.
    static constexpr std::uint64_t kFoldAt = 0xFFFFFFFFu;

    struct Slot {
        std::int32_t index = 0;  // into bins_, in kBins
        std::uint64_t cells = 0;
    };

    Slot& slotFor(int zone)
    {
        std::int32_t& at = slotOf_[static_cast<std::size_t>(zone)];
        if (at < 0) {
            if (free_.empty()) {
                free_.push_back(static_cast<std::int32_t>(slots_.size()));
                slots_.push_back({static_cast<std::int32_t>(slots_.size()), 0});
                bins_.resize(bins_.size() + kBins, 0);
            }
            at = free_.back();
            free_.pop_back();
            active_.push_back(zone);
        }
        return slots_[static_cast<std::size_t>(at)];
    }

    void fold(int zone, Slot& slot)
    {
        std::uint32_t* h = bins_.data() + static_cast<std::size_t>(slot.index) * kBins;
        auto& total = totals_[static_cast<std::size_t>(zone)];
        for (std::size_t v = 0; v < 256; ++v) {
            std::uint64_t n = 0;
            for (std::size_t k = 0; k < kCopies; ++k) {
                n += h[k * 256 + v];
                h[k * 256 + v] = 0;
            }
            if (n == 0)
                continue;
            auto it = std::find_if(total.begin(), total.end(), [&](const auto& p) { return p.first == v; });
            if (it == total.end())
                total.emplace_back(static_cast<std::uint8_t>(v), n);
            else
                it->second += n;
        }
        slot.cells = 0;
    }

    std::vector<std::int32_t> slotOf_;  // per zone, -1 when it has none
    std::vector<Slot> slots_;
    std::vector<std::int32_t> free_;
    std::vector<int> active_;  // zones holding a slot
    std::vector<std::uint32_t> bins_;
    std::vector<std::vector<std::pair<std::uint8_t, std::uint64_t>>> totals_;
};

// Wider integer cells: values get dense local indexes on first sight (a table
// for 16-bit types, a hash map beyond), and counts are kept class-major so a
// new class only appends a column.
template <class T>
class WideTally {
public:
    explicit WideTally(int zoneCount) : zoneCount_(static_cast<std::size_t>(zoneCount))
    {
        if constexpr (kDense)
            dense_.assign(std::size_t{1} << (8 * sizeof(T)), -1);
    }

    void countRun(int zone, const T* values, std::size_t n)
    {
        for (std::size_t i = 0; i < n;) {
            const T v = values[i];
            std::size_t end = i + 1;
            while (end < n && values[end] == v)
                ++end;
            const auto c = static_cast<std::size_t>(indexOf(v));  // may grow counts_
            counts_[c * zoneCount_ + static_cast<std::size_t>(zone)] += end - i;
            i = end;
        }
    }

    // Wide tallies are kept per zone and class seen: nothing to fold.
    void retire(int /*row*/, const std::vector<int>& /*zoneEndRow*/) {}

    template <class Fn>
    void forEach(bool /*signedBytes*/, Fn&& fn) const
    {
        for (std::size_t c = 0; c < values_.size(); ++c)
            for (std::size_t z = 0; z < zoneCount_; ++z)
                if (const std::uint64_t n = counts_[c * zoneCount_ + z])
                    fn(values_[c], static_cast<int>(z), n);
    }

private:
    static constexpr bool kDense = sizeof(T) <= 2;

    std::int32_t indexOf(T v)
    {
        std::int32_t* slot = nullptr;
        if constexpr (kDense)
            slot = &dense_[static_cast<std::size_t>(static_cast<std::make_unsigned_t<T>>(v))];
        else
            slot = &sparse_.try_emplace(static_cast<std::int64_t>(v), -1).first->second;
        if (*slot < 0) {
            *slot = static_cast<std::int32_t>(values_.size());
            values_.push_back(static_cast<std::int64_t>(v));
            counts_.resize(counts_.size() + zoneCount_, 0);
        }
        return *slot;
    }

    std::size_t zoneCount_;
    std::vector<std::int64_t> values_;
    std::vector<std::uint64_t> counts_;
    std::vector<std::int32_t> dense_;
    std::unordered_map<std::int64_t, std::int32_t> sparse_;
};

// Shares of cut cells by zone and cell value: dense for bytes, a map beyond.
template <class T>
class ShareTally {
public:
    explicit ShareTally(int zoneCount)
    {
        if constexpr (kDense)
            dense_.assign(static_cast<std::size_t>(zoneCount) * 256, 0.0);
    }

    void add(int zone, T value, double share)
    {
        if constexpr (kDense)
            dense_[static_cast<std::size_t>(zone) * 256 + value] += share;
        else
            sparse_[{zone, static_cast<std::int64_t>(value)}] += share;
    }

    // fn(class value, zone, share) for every share added.
    template <class Fn>
    void forEach(bool signedBytes, Fn&& fn) const
    {
        if constexpr (kDense) {
            for (std::size_t i = 0; i < dense_.size(); ++i)
                if (dense_[i] != 0) {
                    const auto v = static_cast<std::uint8_t>(i % 256);
                    fn(signedBytes ? static_cast<std::int64_t>(static_cast<std::int8_t>(v))
                                   : static_cast<std::int64_t>(v),
                       static_cast<int>(i / 256), dense_[i]);
                }
        } else {
            for (const auto& [key, share] : sparse_)
                fn(key.second, key.first, share);
        }
    }

private:
    static constexpr bool kDense = std::is_same_v<T, std::uint8_t>;
    std::vector<double> dense_;
    std::map<std::pair<int, std::int64_t>, double> sparse_;
};

}  // namespace halvo::host
