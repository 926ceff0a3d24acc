#include "names.h"

#include <sys/auxv.h>

#include <atomic>
#include <cstring>

namespace lumivarden::host {
namespace {

bool HasLineBreakOrNul(TextView text) {
    return text.find_first_of(TextView(u"\r\n\0", 3)) != TextView::npos;
}

}  // namespace

char16_t FoldCaseBeyondAscii(char16_t c) {
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7) || (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) ||
        (c >= 0x430 && c <= 0x44F)) {
        return static_cast<char16_t>(c - 0x20);
    }
    if (c >= 0x450 && c <= 0x45F) {
        return static_cast<char16_t>(c - 0x50);
    }
    if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 &&
        c != 0x17F) {
        // Upper case sits on even code points, except from U+0139 to U+0148 and from U+0179 on.
        const bool oddBase = (c >= 0x139 && c <= 0x148) || (c >= 0x179);
        const bool isLower = oddBase ? (c % 2 == 0) : (c % 2 == 1);
        return isLower ? static_cast<char16_t>(c - 1) : c;
    }
    return c;
}

bool NamesEqual(TextView a, TextView b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && FoldCase(a[i]) != FoldCase(b[i])) return false;
    }
    return true;
}

std::uint64_t NameHashStart() {
    // The kernel hands every process 16 random bytes, the same on every call.
    static std::atomic<std::uint64_t> start{0};
    std::uint64_t seed = start.load(std::memory_order_relaxed);
    if (seed == 0) {
        seed = 14695981039346656037ull;
        if (const void* random = reinterpret_cast<const void*>(getauxval(AT_RANDOM))) {
            std::uint64_t bytes = 0;
            std::memcpy(&bytes, random, sizeof bytes);
            seed ^= bytes | 1;
        }
        start.store(seed, std::memory_order_relaxed);
    }
    return seed;
}

std::uint64_t NameHash(TextView name) {
    std::uint64_t hash = NameHashStart();
    for (char16_t c : name) hash = NameHashStep(hash, c);
    return hash;
}

bool IsValidKeyPath(TextView path) {
    if (path.empty()) return true;
    if (HasLineBreakOrNul(path)) return false;
    std::size_t depth = 0;
    for (std::size_t start = 0;;) {
        std::size_t end = path.find(u'\\', start);
        if (end == TextView::npos) end = path.size();
        if (end == start || end - start > MaxKeyNameLength || ++depth > MaxKeyDepth) return false;
        if (end == path.size()) return true;
        start = end + 1;
    }
}

bool IsValidValueName(TextView name) {
    return name.size() <= MaxValueNameLength && !HasLineBreakOrNul(name);
}

}  // namespace lumivarden::host
