#include "page_memory.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

namespace lumivarden::host {
namespace {

constexpr std::size_t SmallPage = 4096;
constexpr std::size_t HugePage = std::size_t{2} << 20;
// Below this, memory comes from malloc, page by page as it is touched.
constexpr std::size_t MappedFrom = std::size_t{128} << 10;
// Above this, huge pages: a whole one is taken however little of it is used,
// and from here on that keeps memory within twice what is asked for.
constexpr std::size_t HugeAbove = std::size_t{1280} << 10;

std::size_t RoundUp(std::size_t size, std::size_t step) {
    return (size + step - 1) / step * step;
}

// A mapping of `size` bytes (a multiple of `alignment`) that starts on a
// multiple of `alignment`, its pages put in place.
void* Map(std::size_t size, std::size_t alignment) {
    const std::size_t extra = alignment > SmallPage ? alignment : 0;
    void* mapped =
        mmap(nullptr, size + extra, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return nullptr;
    char* start = static_cast<char*>(mapped);
    char* aligned = start;
    if (extra != 0) {
        const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(start);
        aligned += RoundUp(address, alignment) - address;
        if (aligned != start) munmap(start, static_cast<std::size_t>(aligned - start));
        char* end = aligned + size;
        munmap(end, static_cast<std::size_t>(start + size + extra - end));
        madvise(aligned, size, MADV_HUGEPAGE);  // where the kernel allows
    }
#ifdef MADV_POPULATE_WRITE
    madvise(aligned, size, MADV_POPULATE_WRITE);  // older kernels: faulted in as used
#endif
    return aligned;
}

}  // namespace

std::size_t PageMemorySize(std::size_t size) {
    if (size < MappedFrom) return size;
    return size <= HugeAbove ? RoundUp(size, SmallPage) : RoundUp(size, HugePage);
}

void* AllocatePageMemory(std::size_t size, bool zeroed) {
    if (size < MappedFrom) {
        return zeroed ? std::calloc(size != 0 ? size : 1, 1) : std::malloc(size != 0 ? size : 1);
    }
    return Map(PageMemorySize(size), size <= HugeAbove ? SmallPage : HugePage);
}

void FreePageMemory(void* data, std::size_t size) {
    if (data == nullptr) return;
    if (size < MappedFrom) {
        std::free(data);
    } else {
        munmap(data, PageMemorySize(size));
    }
}

}  // namespace lumivarden::host
