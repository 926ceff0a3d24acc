// An open-addressing table of entry numbers, for entries kept in a vector
// elsewhere. Each slot keeps 32 bits of its entry's hash, so a probe seldom
// has to look at an entry that does not match. At most half full, so a
// look-up probes a few slots whatever the table's size.
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
        return slots_.empty() ? NoEntry : slots_[SlotOf(hash, matches)].entry;
    }

    // The entry that matches; when there is none, adds `entry` and returns NoEntry.
    template <class Matches>
    std::uint32_t FindOrAdd(std::uint64_t hash, Matches matches, std::uint32_t entry) {
        return Put(hash, matches, entry, false);
    }

    // Puts `entry` in the place of the one that matches, returning that one;
    // when there is none, adds `entry` and returns NoEntry.
    template <class Matches>
    std::uint32_t Exchange(std::uint64_t hash, Matches matches, std::uint32_t entry) {
        return Put(hash, matches, entry, true);
    }

    // Room for this many entries without growing.
    void Reserve(std::size_t entries) {
        std::size_t size = 16;
        while (size < 2 * entries) size *= 2;
        if (size > slots_.size() && count_ == 0) slots_.assign(size, Slot{});
    }

  private:
    struct Slot {
        std::uint32_t entry = NoEntry;
        std::uint32_t hash = 0;
    };

    template <class Matches>
    std::size_t SlotOf(std::uint64_t hash, Matches matches) const {
        const std::size_t mask = slots_.size() - 1;
        const auto low = static_cast<std::uint32_t>(hash);
        std::size_t at = low & mask;
        while (slots_[at].entry != NoEntry &&
               (slots_[at].hash != low || !matches(slots_[at].entry)))
            at = (at + 1) & mask;
        return at;
    }

    template <class Matches>
    std::uint32_t Put(std::uint64_t hash, Matches matches, std::uint32_t entry, bool replace) {
        if (2 * (count_ + 1) > slots_.size()) Grow();
        Slot& slot = slots_[SlotOf(hash, matches)];
        if (slot.entry == NoEntry) {
            slot = Slot{entry, static_cast<std::uint32_t>(hash)};
            ++count_;
            return NoEntry;
        }
        const std::uint32_t found = slot.entry;
        if (replace) slot.entry = entry;
        return found;
    }

    void Grow() {
        std::vector<Slot> old(slots_.empty() ? 16 : 2 * slots_.size());
        old.swap(slots_);
        const std::size_t mask = slots_.size() - 1;
        for (const Slot& slot : old) {
            if (slot.entry == NoEntry) continue;
            std::size_t at = slot.hash & mask;
            while (slots_[at].entry != NoEntry) at = (at + 1) & mask;
            slots_[at] = slot;
        }
    }

    std::vector<Slot> slots_;
    std::size_t count_ = 0;
};

}  // namespace lumivarden::host

#endif
