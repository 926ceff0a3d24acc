// Key and value names as the registry compares them, and the platform's limits
// on them ("Registry element size limits" in the platform's documentation).
#ifndef LUMIVARDEN_POSIX_NAMES_H
#define LUMIVARDEN_POSIX_NAMES_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace lumivarden::host {

using Text = std::u16string;
using TextView = std::u16string_view;

// Characters in one key name (one component of a path).
constexpr std::size_t MaxKeyNameLength = 255;
// Characters in a value name.
constexpr std::size_t MaxValueNameLength = 16383;
// Levels of keys below HKEY_CURRENT_USER.
constexpr std::size_t MaxKeyDepth = 512;

// The letters whose case pairs the registry folds, upper-cased: ASCII,
// Latin-1, Latin Extended-A, Greek and Cyrillic.
char16_t FoldCaseBeyondAscii(char16_t c);
inline char16_t FoldCase(char16_t c) {
    if (c >= 0x80) return FoldCaseBeyondAscii(c);
    return static_cast<char16_t>(c - u'a') < 26 ? static_cast<char16_t>(c - 0x20) : c;
}

bool NamesEqual(TextView a, TextView b);

// A hash step over one more character, the same for characters that fold alike.
// The start is random per process, so no file can be written to collide.
std::uint64_t NameHashStart();
inline std::uint64_t NameHashStep(std::uint64_t hash, char16_t c) {
    return (hash ^ FoldCase(c)) * 1099511628211ull;  // FNV-1a
}
std::uint64_t NameHash(TextView name);

// Spreads the bits of a combined hash, so that tables may use its low bits.
inline std::uint64_t MixHash(std::uint64_t x) {
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
    return x ^ (x >> 31);
}

// A key path below the root: components joined by '\', none empty, none
// longer than a key name may be, at most MaxKeyDepth of them, no line break.
bool IsValidKeyPath(TextView path);
bool IsValidValueName(TextView name);

}  // namespace lumivarden::host

#endif
