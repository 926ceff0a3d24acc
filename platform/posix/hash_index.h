// An open-addressing table of entry numbers, for entries kept in a vector
// elsewhere. Each slot keeps 32 bits of its entry's hash, so a probe seldom
// has to look at an entry that does not match. At most half full, so a
// look-up probes a few slots whatever the table's size. Its memory comes
// zeroed (empty) from page_memory.h.
#ifndef LUMIVARDEN_POSIX_HASH_INDEX_H
#define LUMIVARDEN_POSIX_HASH_INDEX_H

#include <cstddef>
#include <cstdint>

#include "page_memory.h"

namespace lumivarden::host {

constexpr std::uint32_t NoEntry = 0xFFFFFFFF;
constexpr std::uint32_t NoRoom = 0xFFFFFFFE;  // the table could not grow

class HashIndex {
  public:
    HashIndex() = default;
    ~HashIndex() { FreePageMemory(slots_, size_ * sizeof(Slot)); }
    HashIndex(const HashIndex&) = delete;
    HashIndex& operator=(const HashIndex&) = delete;

    void Clear() {
        FreePageMemory(slots_, size_ * sizeof(Slot));
        slots_ = nullptr;
        size_ = 0;
        count_ = 0;
    }

    // The entry for which matches(entry) holds, or NoEntry.
    template <class Matches>
    std::uint32_t Find(std::uint64_t hash, Matches matches) const {
        return size_ == 0 ? NoEntry : slots_[SlotOf(hash, matches)].entry - 1;
    }

    // The entry that matches; when there is none, adds `entry` and returns
    // NoEntry (NoRoom when memory runs out).
    template <class Matches>
    std::uint32_t FindOrAdd(std::uint64_t hash, Matches matches, std::uint32_t entry) {
        if (2 * (count_ + 1) > size_ && !Resize(size_ == 0 ? 16 : 2 * size_)) return NoRoom;
        Slot& slot = slots_[SlotOf(hash, matches)];
        if (slot.entry != 0) return slot.entry - 1;
        slot = Slot{entry + 1, static_cast<std::uint32_t>(hash)};
        ++count_;
        return NoEntry;
    }

    // Room for this many entries without growing; false when memory runs out.
    bool Reserve(std::size_t entries) {
        std::size_t size = 16;
        while (size < 2 * entries) size *= 2;
        return size <= size_ || Resize(size);
    }

  private:
    // Entries are kept one more than they are, so that zeroed memory is empty.
    struct Slot {
        std::uint32_t entry;
        std::uint32_t hash;
    };

    template <class Matches>
    std::size_t SlotOf(std::uint64_t hash, Matches matches) const {
        const std::size_t mask = size_ - 1;
        const auto low = static_cast<std::uint32_t>(hash);
        std::size_t at = low & mask;
        while (slots_[at].entry != 0 && (slots_[at].hash != low || !matches(slots_[at].entry - 1)))
            at = (at + 1) & mask;
        return at;
    }

    bool Resize(std::size_t size) {
        auto* slots = static_cast<Slot*>(AllocatePageMemory(size * sizeof(Slot), true));
        if (slots == nullptr) return false;
        const std::size_t mask = size - 1;
        for (std::size_t each = 0; each < size_; ++each) {
            if (slots_[each].entry == 0) continue;
            std::size_t at = slots_[each].hash & mask;
            while (slots[at].entry != 0) at = (at + 1) & mask;
            slots[at] = slots_[each];
        }
        FreePageMemory(slots_, size_ * sizeof(Slot));
        slots_ = slots;
        size_ = size;
        return true;
    }

    Slot* slots_ = nullptr;
    std::size_t size_ = 0;
    std::size_t count_ = 0;
};

}  // namespace lumivarden::host

#endif
