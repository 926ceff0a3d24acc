#include "byte_buffer.h"

#include <cstring>

#include "page_memory.h"

namespace lumivarden::host {

ByteBuffer::~ByteBuffer() {
    FreePageMemory(data_, capacity_);
}

bool ByteBuffer::Reserve(std::size_t capacity) {
    if (capacity <= capacity_) return true;
    auto* grown = static_cast<char*>(AllocatePageMemory(capacity, false));
    if (grown == nullptr) return false;
    if (size_ != 0) std::memcpy(grown, data_, size_);
    FreePageMemory(data_, capacity_);
    data_ = grown;
    capacity_ = PageMemorySize(capacity);
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
