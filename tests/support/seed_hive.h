#pragma once

#include <cstdint>

#include "hive.h"

namespace testing_support {

// A hive full of other programs' keys and values, of every type and shape
// (texts with and without their NUL, odd sizes, empty data, large binaries,
// unusual names), plus "Software\Lumivarden" with "Enabled" = "2" and a
// neighbour value. The same seed gives the same hive.
lumivarden::host::Hive SeedHive(int keys, int valuesPerKey, std::uint32_t seed);

// The hive without the lamp's "Enabled" value: what no launch may change.
lumivarden::host::Hive WithoutEnabled(lumivarden::host::Hive hive);

}  // namespace testing_support
