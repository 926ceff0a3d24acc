// Memory for the hive's large arrays: from 128 KiB on mapped whole (zeroed) and
// put in place with one system call, from 1.25 MiB on in huge pages where the
// kernel allows.
// Touching thousands of small pages one by one costs more than reading the
// file (in virtual machines above all, where each first touch of a page and
// each TLB miss is dear).
#ifndef LUMIVARDEN_POSIX_PAGE_MEMORY_H
#define LUMIVARDEN_POSIX_PAGE_MEMORY_H

#include <cstddef>

namespace lumivarden::host {

// The size an allocation of `size` bytes really takes, at least `size`; the
// same again for that size.
std::size_t PageMemorySize(std::size_t size);

// Null when memory runs out. Smaller sizes are zeroed only when asked to be.
void* AllocatePageMemory(std::size_t size, bool zeroed);
void FreePageMemory(void* data, std::size_t size);

}  // namespace lumivarden::host

#endif
