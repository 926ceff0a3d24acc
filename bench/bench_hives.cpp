#include "bench_hives.h"

#include <cstdio>
#include <filesystem>
#include <random>

#include "hive_format.h"
#include "little_endian.h"
#include "winapi.h"

namespace bench {
namespace {

using lumivarden::host::Text;

Text Widen(const std::string& text) {
    return Text(text.begin(), text.end());
}

void AddValue(Text& out, const Text& name, DWORD type, const std::vector<std::uint8_t>& data) {
    lumivarden::host::AppendValueLine(out, name, type, data.data(), data.size(), u"\r\n");
}

std::vector<std::uint8_t> TextData(const Text& text) {
    std::vector<std::uint8_t> data;
    lumivarden::host::AppendUtf16(data, text);
    data.insert(data.end(), {0, 0});
    return data;
}

void AddSection(Text& out, const Text& path) {
    out += u"\r\n";
    lumivarden::host::AppendSectionLine(out, path, u"\r\n");
}

std::size_t Finish(const std::string& folder, Text& text) {
    AddSection(text, u"Software\\Lumivarden");
    AddValue(text, u"Enabled", REG_SZ, TextData(u"2"));
    text += u"\r\n";
    std::string bytes;
    lumivarden::host::AppendUtf16(bytes, text);
    std::filesystem::create_directories(folder);
    std::FILE* out = std::fopen((folder + "/HKEY_CURRENT_USER.reg").c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
    return bytes.size();
}

}  // namespace

std::size_t WriteSeededHive(const std::string& folder, int values, int perKey) {
    Text text = u"\xFEFFWindows Registry Editor Version 5.00\r\n";
    for (int v = 0; v < values; ++v) {
        if (v % perKey == 0)
            AddSection(text, Widen("Software\\Vendor\\App" + std::to_string(v / perKey)));
        const Text name = Widen("Value" + std::to_string(v));
        if (v % 2 == 0) {
            AddValue(text, name, REG_SZ, TextData(u"some"));
        } else {
            AddValue(text, name, REG_BINARY, std::vector<std::uint8_t>(16, 0xab));
        }
    }
    return Finish(folder, text);
}

std::size_t WriteEditorLikeHive(const std::string& folder, std::size_t bytes) {
    std::mt19937 random(2026);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    auto guid = [&] {
        char buffer[40];
        std::snprintf(buffer, sizeof buffer, "{%08X-%04X-%04X-%04X-%08X%04X}",
                      static_cast<unsigned>(random()), pick(0x10000), pick(0x10000), pick(0x10000),
                      static_cast<unsigned>(random()), pick(0x10000));
        return Widen(buffer);
    };
    const Text roots[] = {u"Software\\Classes\\CLSID", u"Software\\Classes\\Interface",
                          u"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer",
                          u"Software\\Vendor Software\\Product Suite", u"Control Panel\\Desktop"};
    const Text leaves[] = {u"InprocServer32", u"ProgID",      u"TypeLib",
                           u"Settings",       u"DefaultIcon", u"shell\\open\\command",
                           u"Version"};
    Text text = u"\xFEFFWindows Registry Editor Version 5.00\r\n";
    while (2 * text.size() < bytes) {
        const Text parent = roots[pick(5)] + u"\\" + guid();
        AddSection(text, parent);
        if (pick(3) == 0) AddValue(text, u"", REG_SZ, TextData(u"Component " + guid()));
        for (int child = pick(3); child > 0; --child) {
            AddSection(text, parent + u"\\" + leaves[pick(7)]);
            for (int value = pick(5); value > 0; --value) {
                const Text n = Widen(std::to_string(value));  // no name twice in a key
                switch (pick(6)) {
                    case 0:
                        AddValue(text, u"Module" + n, REG_SZ,
                                 TextData(u"C:\\Program Files\\Vendor\\bin\\module" +
                                          Widen(std::to_string(pick(1000))) + u".dll"));
                        break;
                    case 1:
                        AddValue(text, u"ThreadingModel" + n, REG_SZ, TextData(u"Apartment"));
                        break;
                    case 2: {
                        std::vector<std::uint8_t> number(4);
                        lumivarden::host::StoreLe32(number.data(), random());
                        AddValue(text, u"Flags" + n, REG_DWORD, number);
                        break;
                    }
                    case 3:
                        AddValue(text, u"Path" + n, REG_EXPAND_SZ,
                                 TextData(u"%SystemRoot%\\system32\\shell32.dll,-" +
                                          Widen(std::to_string(pick(500)))));
                        break;
                    case 4: {
                        std::vector<std::uint8_t> blob(8 + pick(200));
                        for (auto& byte : blob) byte = static_cast<std::uint8_t>(random());
                        AddValue(text, u"Data" + n, REG_BINARY, blob);
                        break;
                    }
                    default:
                        AddValue(text, u"Names" + n, REG_MULTI_SZ,
                                 TextData(Text(u"first\0second\0", 13)));
                        break;
                }
            }
        }
    }
    return Finish(folder, text);
}

}  // namespace bench
