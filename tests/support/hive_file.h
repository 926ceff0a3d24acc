#pragma once

#include <optional>
#include <string>

#include "hive.h"

namespace testing_support {

// The hive stored in a file, or nothing when the file does not parse.
std::optional<lumivarden::host::Hive> ReadHiveFile(const std::string& path);

}  // namespace testing_support
