// The current user's registry branch as data: keys in file order, each with
// its values in file order. Names compare case-insensitively and keep the
// spelling they were created with.
#ifndef LUMIVARDEN_POSIX_HIVE_H
#define LUMIVARDEN_POSIX_HIVE_H

#include <cstdint>
#include <vector>

#include "names.h"

namespace lumivarden::host {

using Bytes = std::vector<std::uint8_t>;

struct HiveValue {
    Text name;  // empty for the default value
    std::uint32_t type = 0;
    Bytes data;

    bool operator==(const HiveValue&) const = default;
};

struct HiveKey {
    Text path;  // below HKEY_CURRENT_USER, components joined by '\'; empty for the root
    std::vector<HiveValue> values;

    bool operator==(const HiveKey&) const = default;
};

struct Hive {
    // Always starts with the root; a key's parent always comes before it.
    std::vector<HiveKey> keys{HiveKey{}};

    bool operator==(const Hive&) const = default;
};

// Building and changing a hive as data, for hives written whole (hive_text.h).
// Look-ups are by name, case-insensitively, and go through every key: the
// registry itself works on the file through hive_document.h.
HiveKey* FindKey(Hive& hive, TextView path);
const HiveKey* FindKey(const Hive& hive, TextView path);

// Finds the key, creating it and every missing ancestor; *created tells whether
// anything was added. The path must be valid.
HiveKey& CreateKey(Hive& hive, TextView path, bool* created);

HiveValue* FindValue(HiveKey& key, TextView name);
const HiveValue* FindValue(const HiveKey& key, TextView name);

void SetValue(HiveKey& key, TextView name, std::uint32_t type, Bytes data);

// Returns whether a value was removed.
bool DeleteValue(HiveKey& key, TextView name);

}  // namespace lumivarden::host

#endif
