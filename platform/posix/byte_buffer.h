// A growable run of bytes that, unlike std::string, is not zeroed by us before
// a file is read into it, and whose large allocations come from the kernel
// with their pages already in place (page_memory.h).
#ifndef LUMIVARDEN_POSIX_BYTE_BUFFER_H
#define LUMIVARDEN_POSIX_BYTE_BUFFER_H

#include <cstddef>

namespace lumivarden::host {

class ByteBuffer {
  public:
    ByteBuffer() = default;
    ~ByteBuffer();
    ByteBuffer(const ByteBuffer&) = delete;
    ByteBuffer& operator=(const ByteBuffer&) = delete;

    char* data() { return data_; }
    const char* data() const { return data_; }
    std::size_t size() const { return size_; }

    // Each returns false, changing nothing, when memory runs out.
    bool Reserve(std::size_t capacity);
    // New bytes past the old size are left as they were.
    bool Resize(std::size_t size);
    bool Assign(const char* bytes, std::size_t size);
    // Replaces `length` bytes at `at` with `size` bytes.
    bool Replace(std::size_t at, std::size_t length, const char* bytes, std::size_t size);

  private:
    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

}  // namespace lumivarden::host

#endif
