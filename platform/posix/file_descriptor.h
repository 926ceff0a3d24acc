#ifndef LUMIVARDEN_POSIX_FILE_DESCRIPTOR_H
#define LUMIVARDEN_POSIX_FILE_DESCRIPTOR_H

#include <unistd.h>

namespace lumivarden::host {

// Closes a descriptor on every path out of a scope.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        if (this != &other) {
            Reset();
            fd_ = other.release();
        }
        return *this;
    }
    ~FileDescriptor() { Reset(); }

    int get() const { return fd_; }
    bool ok() const { return fd_ >= 0; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

  private:
    void Reset() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }

    int fd_;
};

}  // namespace lumivarden::host

#endif
