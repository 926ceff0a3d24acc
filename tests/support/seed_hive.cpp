#include "seed_hive.h"

#include <random>
#include <string>

#include "hive_file.h"
#include "winapi.h"

namespace testing_support {
namespace {

using namespace std::literals;

using lumivarden::host::Bytes;
using lumivarden::host::HiveKey;
using lumivarden::host::Text;

Bytes Utf16(const Text& text, bool withNul) {
    return Utf16Bytes(text, withNul);
}

Text Number(int n) {
    Text text;
    for (char c : std::to_string(n)) text.push_back(static_cast<char16_t>(c));
    return text;
}

}  // namespace

lumivarden::host::Hive SeedHive(int keys, int valuesPerKey, std::uint32_t seed) {
    std::mt19937 random(seed);
    auto randomBytes = [&](std::size_t size) {
        Bytes bytes(size);
        for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
        return bytes;
    };
    const Text names[] = {u"Value",         u"quote\"d", u"back\\slash",
                          u"\u00c9t\u00e9", u"\u4e2d",   u"sp ace"};

    lumivarden::host::Hive hive;
    hive.keys[0].values.push_back({u"", REG_SZ, Utf16(u"root default", true)});
    for (int k = 0; k < keys; ++k) {
        bool created = false;
        HiveKey& key = lumivarden::host::CreateKey(
            hive, u"Software\\Vendor" + Number(k % 7) + u"\\App" + Number(k), &created);
        for (int v = 0; v < valuesPerKey; ++v) {
            const Text name = names[v % 6] + Number(v);
            switch (v % 12) {
                case 0:
                    key.values.push_back({name, REG_SZ, Utf16(u"text " + Number(k), true)});
                    break;
                case 1:
                    key.values.push_back({name, REG_SZ, Utf16(u"no nul", false)});
                    break;
                case 2:
                    key.values.push_back({name, REG_SZ, Utf16(u"a\0b"s, true)});
                    break;
                case 3:
                    key.values.push_back({name, REG_SZ, randomBytes(3 + 2 * (random() % 5))});
                    break;
                case 4:
                    key.values.push_back({name, REG_DWORD, randomBytes(4)});
                    break;
                case 5:
                    key.values.push_back({name, REG_DWORD, randomBytes(random() % 4)});
                    break;
                case 6:
                    key.values.push_back({name, REG_QWORD, randomBytes(8)});
                    break;
                case 7:
                    key.values.push_back({name, REG_BINARY, randomBytes(random() % 300)});
                    break;
                case 8:
                    key.values.push_back({name, REG_BINARY, {}});
                    break;
                case 9:
                    key.values.push_back({name, REG_MULTI_SZ, Utf16(u"a\0bc\0"s, true)});
                    break;
                case 10:
                    key.values.push_back({name, REG_EXPAND_SZ, Utf16(u"%PATH%;x", true)});
                    break;
                default:
                    key.values.push_back({name, 0x80000000u + static_cast<std::uint32_t>(v),
                                          randomBytes(random() % 9)});
                    break;
            }
        }
    }
    bool created = false;
    HiveKey& own = lumivarden::host::CreateKey(hive, u"Software\\Lumivarden", &created);
    own.values.push_back({u"Enabled", REG_SZ, Utf16(u"2", true)});
    own.values.push_back({u"Neighbour", REG_DWORD, {7, 0, 0, 0}});
    return hive;
}

lumivarden::host::Hive WithoutEnabled(lumivarden::host::Hive hive) {
    if (HiveKey* own = lumivarden::host::FindKey(hive, u"Software\\Lumivarden")) {
        lumivarden::host::DeleteValue(*own, u"Enabled");
    }
    return hive;
}

}  // namespace testing_support
