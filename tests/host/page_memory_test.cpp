// The hive's large arrays: zeroed memory of at least the size asked for, given
// back with the size it was asked with, on each side of every size class.
#include "page_memory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

using lumivarden::host::AllocatePageMemory;
using lumivarden::host::FreePageMemory;
using lumivarden::host::PageMemorySize;

TEST(PageMemoryTest, EverySizeClassIsZeroedUsableAndGivenBack) {
    for (const std::size_t size :
         {std::size_t{1}, std::size_t{131071}, std::size_t{131072}, std::size_t{1310720} - 1,
          std::size_t{1310720}, std::size_t{1310721}, std::size_t{2097152}, std::size_t{3} << 20}) {
        SCOPED_TRACE(size);
        const std::size_t taken = PageMemorySize(size);
        EXPECT_GE(taken, size);
        EXPECT_EQ(PageMemorySize(taken), taken);  // freeing by either size frees the same
        auto* bytes = static_cast<unsigned char*>(AllocatePageMemory(size, true));
        ASSERT_NE(bytes, nullptr);
        EXPECT_TRUE(std::all_of(bytes, bytes + taken, [](unsigned char b) { return b == 0; }));
        std::memset(bytes, 0xA5, taken);
        FreePageMemory(bytes, size);
    }
}

}  // namespace
