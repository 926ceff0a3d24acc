#include "page_memory.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

namespace lumivarden::host {
namespace {

constexpr std::size_t HugePage = std::size_t{2} << 20;

std::size_t RoundUp(std::size_t size, std::size_t step) {
    return (size + step - 1) / step * step;
}

}  // namespace

std::size_t PageMemorySize(std::size_t size) {
    return size < HugePage ? size : RoundUp(size, HugePage);
}

void* AllocatePageMemory(std::size_t size) {
    if (size < HugePage) return std::calloc(size != 0 ? size : 1, 1);
    // Aligned to a huge page, which the kernel needs to use one.
    const std::size_t mappedSize = PageMemorySize(size);
    void* mapped = mmap(nullptr, mappedSize + HugePage, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return nullptr;
    char* start = static_cast<char*>(mapped);
    const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(start);
    char* aligned = start + (RoundUp(address, HugePage) - address);
    if (aligned != start) munmap(start, static_cast<std::size_t>(aligned - start));
    char* end = aligned + mappedSize;
    munmap(end, static_cast<std::size_t>(start + mappedSize + HugePage - end));
    madvise(aligned, mappedSize, MADV_HUGEPAGE);
#ifdef MADV_POPULATE_WRITE
    madvise(aligned, mappedSize, MADV_POPULATE_WRITE);  // older kernels: faulted in as used
#endif
    return aligned;
}

void FreePageMemory(void* data, std::size_t size) {
    if (data == nullptr) return;
    if (size < HugePage) {
        std::free(data);
    } else {
        munmap(data, PageMemorySize(size));
    }
}

}  // namespace lumivarden::host
