// Any bytes as a hive file: never a crash, and a hive that is accepted writes
// back out and reads back in to the same content, as a fixed point.
#include <cstdint>
#include <cstdlib>

#include "hive_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto hive = lumivarden::host::ParseHive(data, size);
    if (!hive) return 0;
    const std::string written = lumivarden::host::WriteHive(*hive);
    const auto back = lumivarden::host::ParseHive(
        reinterpret_cast<const std::uint8_t*>(written.data()), written.size());
    if (!back || *back != *hive) std::abort();
    if (lumivarden::host::WriteHive(*back) != written) std::abort();
    return 0;
}
