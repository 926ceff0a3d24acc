#include "hive_text.h"

#include "hive_document.h"
#include "hive_format.h"
#include "little_endian.h"

namespace lumivarden::host {

std::optional<Hive> ParseHive(const std::uint8_t* data, std::size_t size) {
    HiveDocument document;
    if (!document.bytes.Assign(reinterpret_cast<const char*>(data), size) || !IndexHive(document)) {
        return std::nullopt;
    }
    return ToHive(document);
}

std::string WriteHive(const Hive& hive) {
    Text text = u"\xFEFFWindows Registry Editor Version 5.00\r\n";
    for (const HiveKey& key : hive.keys) {
        if (key.path.empty() && key.values.empty()) continue;  // the root is always there
        text += u"\r\n";
        AppendSectionLine(text, key.path, u"\r\n");
        for (const HiveValue& value : key.values) {
            AppendValueLine(text, value.name, value.type, value.data.data(), value.data.size(),
                            u"\r\n");
        }
    }
    text += u"\r\n";
    std::string bytes;
    bytes.reserve(2 * text.size());
    AppendUtf16(bytes, text);
    return bytes;
}

}  // namespace lumivarden::host
