#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "hive.h"

namespace testing_support {

// The hive in a file's bytes, or nothing when they do not parse.
std::optional<lumivarden::host::Hive> ParseHiveBytes(const std::string& bytes);

// The hive stored in a file, or nothing when the file does not parse.
std::optional<lumivarden::host::Hive> ReadHiveFile(const std::string& path);

// The UTF-16LE bytes of a text, as a value's data, with or without a NUL after it.
lumivarden::host::Bytes Utf16Bytes(std::u16string_view text, bool withNul);

// The lamp's state as a launch stored it: "1" or "2" as a 4-byte REG_SZ, else empty.
std::string EnabledText(const lumivarden::host::Hive& hive);

}  // namespace testing_support
