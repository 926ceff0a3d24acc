#include "hive_file.h"

#include "hive_text.h"
#include "test_support.h"

namespace testing_support {

std::optional<lumivarden::host::Hive> ReadHiveFile(const std::string& path) {
    const std::string bytes = ReadFile(path);
    return lumivarden::host::ParseHive(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                       bytes.size());
}

lumivarden::host::Bytes Utf16Bytes(std::u16string_view text, bool withNul) {
    lumivarden::host::Bytes bytes;
    for (char16_t c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c));
        bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    if (withNul) bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

}  // namespace testing_support
