#include "byte_buffer.h"

#include <sys/mman.h>

#include <cstdlib>
#include <cstring>

namespace lumivarden::host {
namespace {

// From this size on, memory is mapped whole: one system call puts every page
// in place, where touching them one by one would fault on each.
constexpr std::size_t MappedSize = std::size_t{128} << 10;

char* Allocate(std::size_t capacity) {
    if (capacity < MappedSize) return static_cast<char*>(std::malloc(capacity));
    void* mapped =
        mmap(nullptr, capacity, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return nullptr;
    madvise(mapped, capacity, MADV_HUGEPAGE);  // fewer pages where the kernel allows
#ifdef MADV_POPULATE_WRITE
    madvise(mapped, capacity, MADV_POPULATE_WRITE);  // older kernels: faulted in as used
#endif
    return static_cast<char*>(mapped);
}

void Release(char* data, std::size_t capacity) {
    if (data == nullptr) return;
    if (capacity < MappedSize) {
        std::free(data);
    } else {
        munmap(data, capacity);
    }
}

}  // namespace

ByteBuffer::~ByteBuffer() {
    Release(data_, capacity_);
}

bool ByteBuffer::Reserve(std::size_t capacity) {
    if (capacity <= capacity_) return true;
    char* grown = Allocate(capacity);
    if (grown == nullptr) return false;
    if (size_ != 0) std::memcpy(grown, data_, size_);
    Release(data_, capacity_);
    data_ = grown;
    capacity_ = capacity;
    return true;
}

bool ByteBuffer::Resize(std::size_t size) {
    if (size > capacity_ && !Reserve(size + size / 8)) return false;
    size_ = size;
    return true;
}

bool ByteBuffer::Assign(const char* bytes, std::size_t size) {
    if (!Resize(size)) return false;
    if (size != 0) std::memcpy(data_, bytes, size);
    return true;
}

bool ByteBuffer::Replace(std::size_t at, std::size_t length, const char* bytes, std::size_t size) {
    const std::size_t tail = size_ - at - length;
    if (!Resize(size_ - length + size)) return false;
    std::memmove(data_ + at + size, data_ + at + length, tail);
    if (size != 0) std::memcpy(data_ + at, bytes, size);
    return true;
}

}  // namespace lumivarden::host
