#include "hive.h"

#include <algorithm>

namespace lumivarden::host {
namespace {

// Upper-cases the letters whose case pairs the registry folds: ASCII, Latin-1,
// Latin Extended-A, Greek and Cyrillic.
char16_t FoldCase(char16_t c) {
    if (c < 0x80) {
        return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 0x20) : c;
    }
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

bool HasLineBreak(TextView text) {
    return text.find_first_of(u"\r\n") != TextView::npos;
}

}  // namespace

bool NamesEqual(TextView a, TextView b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && FoldCase(a[i]) != FoldCase(b[i])) {
            return false;
        }
    }
    return true;
}

std::uint64_t NameHash(TextView name) {
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (char16_t c : name) {
        hash = (hash ^ FoldCase(c)) * 1099511628211ull;
    }
    return hash;
}

void MergeDuplicateNames(HiveKey& key) {
    std::vector<HiveValue>& values = key.values;
    if (values.size() < 2) return;
    std::vector<std::pair<std::uint64_t, std::size_t>> order;
    order.reserve(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) order.emplace_back(NameHash(values[i].name), i);
    std::sort(order.begin(), order.end());

    std::vector<bool> merged(values.size(), false);
    bool anyMerged = false;
    for (std::size_t run = 0; run < order.size();) {
        std::size_t end = run + 1;
        while (end < order.size() && order[end].first == order[run].first) ++end;
        for (std::size_t a = run; a < end; ++a) {
            if (merged[order[a].second]) continue;
            HiveValue& first = values[order[a].second];
            for (std::size_t b = a + 1; b < end; ++b) {  // later places, in order
                HiveValue& later = values[order[b].second];
                if (merged[order[b].second] || !NamesEqual(first.name, later.name)) continue;
                first.type = later.type;
                first.data = std::move(later.data);
                merged[order[b].second] = true;
                anyMerged = true;
            }
        }
        run = end;
    }
    if (!anyMerged) return;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (merged[i]) continue;
        if (kept != i) values[kept] = std::move(values[i]);
        ++kept;
    }
    values.resize(kept);
}

bool IsValidKeyPath(TextView path) {
    if (path.empty()) {
        return true;
    }
    if (HasLineBreak(path) || path.find(u'\0') != TextView::npos) {
        return false;
    }
    return path.front() != u'\\' && path.back() != u'\\' && path.find(u"\\\\") == TextView::npos;
}

bool IsValidValueName(TextView name) {
    return !HasLineBreak(name) && name.find(u'\0') == TextView::npos;
}

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
