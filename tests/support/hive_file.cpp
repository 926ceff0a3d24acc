#include "hive_file.h"

#include "hive_text.h"
#include "test_support.h"

namespace testing_support {

std::optional<lumivarden::host::Hive> ReadHiveFile(const std::string& path) {
    const std::string bytes = ReadFile(path);
    return lumivarden::host::ParseHive(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                       bytes.size());
}

}  // namespace testing_support
