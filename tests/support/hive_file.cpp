#include "hive_file.h"

#include "hive_text.h"
#include "little_endian.h"
#include "test_support.h"
#include "winapi.h"

namespace testing_support {

std::optional<lumivarden::host::Hive> ParseHiveBytes(const std::string& bytes) {
    return lumivarden::host::ParseHive(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                       bytes.size());
}

std::optional<lumivarden::host::Hive> ReadHiveFile(const std::string& path) {
    return ParseHiveBytes(ReadFile(path));
}

lumivarden::host::Bytes Utf16Bytes(std::u16string_view text, bool withNul) {
    lumivarden::host::Bytes bytes;
    lumivarden::host::AppendUtf16(bytes, text);
    if (withNul) bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

std::string EnabledText(const lumivarden::host::Hive& hive) {
    const auto* key = lumivarden::host::FindKey(hive, u"Software\\Lumivarden");
    const auto* value = key ? lumivarden::host::FindValue(*key, u"Enabled") : nullptr;
    if (value == nullptr || value->type != REG_SZ) return "";
    const auto& data = value->data;
    if (data.size() != 4 || data[1] != 0 || data[2] != 0 || data[3] != 0) return "";
    return data[0] == '1' || data[0] == '2' ? std::string(1, static_cast<char>(data[0])) : "";
}

}  // namespace testing_support
