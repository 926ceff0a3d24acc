// An open-addressing table of entry numbers, for entries kept in a vector
// elsewhere that know their own hashes. At most half full, so a look-up
// probes a few slots whatever the table's size.
#ifndef LUMIVARDEN_POSIX_HASH_INDEX_H
#define LUMIVARDEN_POSIX_HASH_INDEX_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumivarden::host {

constexpr std::uint32_t NoEntry = 0xFFFFFFFF;

class HashIndex {
  public:
    void Clear() {
        slots_.clear();
        count_ = 0;
    }

    // The entry for which matches(entry) holds, or NoEntry.
    template <class Matches>
    std::uint32_t Find(std::uint64_t hash, Matches matches) const {
        return slots_.empty() ? NoEntry : slots_[SlotOf(hash, matches)];
    }

    // Puts entry in the place of the one that matches (which must be there).
    template <class Matches>
    void Replace(std::uint64_t hash, Matches matches, std::uint32_t entry) {
        slots_[SlotOf(hash, matches)] = entry;
    }

    // Adds an entry that matches none there; hashOf(entry) gives any entry's hash.
    template <class HashOf>
    void Insert(std::uint64_t hash, std::uint32_t entry, HashOf hashOf) {
        if (2 * (count_ + 1) > slots_.size()) {
            std::vector<std::uint32_t> old(slots_.empty() ? 16 : 2 * slots_.size(), NoEntry);
            old.swap(slots_);
            for (std::uint32_t each : old) {
                if (each != NoEntry) slots_[SlotOf(hashOf(each), NoMatch)] = each;
            }
        }
        slots_[SlotOf(hash, NoMatch)] = entry;
        ++count_;
    }

  private:
    static bool NoMatch(std::uint32_t) { return false; }

    template <class Matches>
    std::size_t SlotOf(std::uint64_t hash, Matches matches) const {
        const std::size_t mask = slots_.size() - 1;
        std::size_t at = hash & mask;
        while (slots_[at] != NoEntry && !matches(slots_[at])) at = (at + 1) & mask;
        return at;
    }

    std::vector<std::uint32_t> slots_;
    std::size_t count_ = 0;
};

}  // namespace lumivarden::host

#endif
