#include "hive.h"

#include <algorithm>

namespace lumivarden::host {
HiveKey* FindKey(Hive& hive, TextView path) {
    for (HiveKey& key : hive.keys) {
        if (NamesEqual(key.path, path)) {
            return &key;
        }
    }
    return nullptr;
}

const HiveKey* FindKey(const Hive& hive, TextView path) {
    return FindKey(const_cast<Hive&>(hive), path);
}

HiveKey& CreateKey(Hive& hive, TextView path, bool* created) {
    *created = false;
    if (HiveKey* existing = FindKey(hive, path)) {
        return *existing;
    }
    // Ancestors first, so that a parent always precedes its children.
    for (size_t end = path.find(u'\\'); end != TextView::npos; end = path.find(u'\\', end + 1)) {
        if (FindKey(hive, path.substr(0, end)) == nullptr) {
            hive.keys.push_back(HiveKey{Text(path.substr(0, end)), {}});
        }
    }
    hive.keys.push_back(HiveKey{Text(path), {}});
    *created = true;
    return hive.keys.back();
}

HiveValue* FindValue(HiveKey& key, TextView name) {
    for (HiveValue& value : key.values) {
        if (NamesEqual(value.name, name)) {
            return &value;
        }
    }
    return nullptr;
}

const HiveValue* FindValue(const HiveKey& key, TextView name) {
    return FindValue(const_cast<HiveKey&>(key), name);
}

void SetValue(HiveKey& key, TextView name, std::uint32_t type, Bytes data) {
    if (HiveValue* existing = FindValue(key, name)) {
        existing->type = type;
        existing->data = std::move(data);
        return;
    }
    key.values.push_back(HiveValue{Text(name), type, std::move(data)});
}

bool DeleteValue(HiveKey& key, TextView name) {
    const auto it = std::find_if(key.values.begin(), key.values.end(), [&](const HiveValue& value) {
        return NamesEqual(value.name, name);
    });
    if (it == key.values.end()) {
        return false;
    }
    key.values.erase(it);
    return true;
}

}  // namespace lumivarden::host
