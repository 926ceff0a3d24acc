#include "hive_store.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

#include "crash_point.h"
#include "file_descriptor.h"
#include "folders.h"
#include "locations.h"

namespace lumivarden::host {
namespace {

constexpr const char* HiveFileName = "HKEY_CURRENT_USER.reg";
constexpr const char* LockFileName = "HKEY_CURRENT_USER.reg.lock";
constexpr const char* TempFileName = "HKEY_CURRENT_USER.reg.tmp";
constexpr int LockWaitMilliseconds = 5000;

// The whole file, of the size fstat gave. A read that returns less than it
// asked for has met the end of the (regular) file; asking for one byte more
// than the file holds ends a file that has not grown in one read.
bool ReadAll(int fd, off_t size, ByteBuffer* out) {
    // Room for an edit to grow the bytes in place, too.
    if (!out->Reserve(static_cast<std::size_t>(size) + std::size_t{16} * 1024) ||
        !out->Resize(static_cast<std::size_t>(size) + 1)) {
        return false;
    }
    std::size_t done = 0;
    for (;;) {
        if (done == out->size() && !out->Resize(2 * out->size()))
            return false;  // it grew meanwhile
        const std::size_t wanted = out->size() - done;
        const ssize_t got = read(fd, out->data() + done, wanted);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        done += static_cast<std::size_t>(got);
        if (static_cast<std::size_t>(got) < wanted) break;
    }
    out->Resize(done);
    return true;
}

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t put = write(fd, data, size);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        data += put;
        size -= static_cast<std::size_t>(put);
    }
    return true;
}

// The registry folder, through which every file in it is then reached. A link
// in its place (a dotfiles tool's, say) is followed only to a folder of the
// user's own that no one else may write to: anyone who can write there could
// swap the hive.
FileDescriptor OpenFolder(std::string directory) {
    while (directory.size() > 1 && directory.back() == '/') directory.pop_back();
    FileDescriptor fd(open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {};
    if (fd.ok() || (errno != ELOOP && errno != ENOTDIR) || lstat(directory.c_str(), &info) != 0 ||
        !S_ISLNK(info.st_mode)) {
        return fd;
    }
    fd = FileDescriptor(open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.ok() && (fstat(fd.get(), &info) != 0 || !IsOwnClosedFolder(info))) {
        fd = FileDescriptor();
        errno = EACCES;
    }
    return fd;
}

// Whether the file, of the size fstat gave, holds exactly these bytes.
// Compared rather than trusted to its size and time, which a same-size
// rewrite within one clock tick keeps. Each read asks for one byte more than
// should be left, so that a file that has not grown ends in the same read.
bool FileHolds(int fd, off_t size, const ByteBuffer& bytes) {
    if (static_cast<std::size_t>(size) != bytes.size()) return false;
    char chunk[64 * 1024];
    for (std::size_t done = 0;;) {
        const std::size_t wanted = std::min(sizeof chunk, bytes.size() - done + 1);
        const ssize_t got = pread(fd, chunk, wanted, static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 || done + static_cast<std::size_t>(got) > bytes.size() ||
            std::memcmp(chunk, bytes.data() + done, static_cast<std::size_t>(got)) != 0) {
            return false;
        }
        done += static_cast<std::size_t>(got);
        if (static_cast<std::size_t>(got) < wanted) return done == bytes.size();
    }
}

// The hive this process last read or wrote, so that the calls of one launch
// index the file once: it is used again while the file holds the same bytes.
struct CachedHive {
    std::string directory;
    std::shared_ptr<HiveDocument> document;
};

pthread_mutex_t cacheMutex = PTHREAD_MUTEX_INITIALIZER;

// Holds the cache for one call.
class CacheLock {
  public:
    CacheLock() { pthread_mutex_lock(&cacheMutex); }
    ~CacheLock() { pthread_mutex_unlock(&cacheMutex); }
    CacheLock(const CacheLock&) = delete;
    CacheLock& operator=(const CacheLock&) = delete;
};
CachedHive cache;

void ForgetCache() {
    cache = CachedHive{};
}

// The hive in the folder, indexed.
LONG LoadHiveFrom(int folder, const std::string& directory, std::shared_ptr<HiveDocument>* hive) {
    // Not blocking, so that a FIFO put in its place is refused below, not waited on.
    FileDescriptor fd(openat(folder, HiveFileName, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    auto document = std::shared_ptr<HiveDocument>(new HiveDocument);
    if (!fd.ok()) {
        if (errno != ENOENT) return ERROR_REGISTRY_IO_FAILED;  // a symbolic link, unreadable...
        ForgetCache();
        if (!MakeEmptyHive(*document)) return ERROR_NOT_ENOUGH_MEMORY;
        *hive = std::move(document);
        return ERROR_SUCCESS;
    }
    struct stat info {};
    if (fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != geteuid()) {
        return ERROR_REGISTRY_IO_FAILED;  // another user's hive is not ours to trust or replace
    }
    if (cache.document && cache.directory == directory &&
        FileHolds(fd.get(), info.st_size, cache.document->bytes)) {
        document = cache.document;
    } else {
        ForgetCache();
        if (!ReadAll(fd.get(), info.st_size, &document->bytes)) return ERROR_REGISTRY_IO_FAILED;
    }
    if (!document->indexed && !IndexHive(*document)) {
        ForgetCache();
        return ERROR_REGISTRY_CORRUPT;
    }
    cache = CachedHive{directory, document};
    *hive = std::move(document);
    return ERROR_SUCCESS;
}

bool AcquireLock(int fd) {
    timespec pause{0, 1000000};  // 1 ms, doubling up to 64 ms
    for (int waited = 0;; waited += static_cast<int>(pause.tv_nsec / 1000000)) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
        if (errno != EWOULDBLOCK && errno != EINTR) return false;
        if (waited >= LockWaitMilliseconds) return false;
        nanosleep(&pause, nullptr);
        if (pause.tv_nsec < 64000000) pause.tv_nsec *= 2;
    }
}

// Writes the bytes to a fresh file beside the hive, then renames it over the
// hive: a crash leaves either the old hive or the new one.
bool ReplaceHive(int folder, const ByteBuffer& bytes) {
    unlinkat(folder, TempFileName, 0);  // left by a writer that died; we hold the lock
    FileDescriptor fd(InjectedFailure("temp-open")
                          ? -1
                          : openat(folder, TempFileName,
                                   O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd.ok()) return false;
    bool written = fchmod(fd.get(), 0600) == 0;
    if (written) {
        const std::size_t half = bytes.size() / 2;
        written = WriteAll(fd.get(), bytes.data(), half);
        CrashPoint("temp-partial");
        written = written && !InjectedFailure("temp-write") &&
                  WriteAll(fd.get(), bytes.data() + half, bytes.size() - half);
    }
    CrashPoint("temp-written");
    written = written && !InjectedFailure("temp-sync") && fsync(fd.get()) == 0 &&
              !InjectedFailure("temp-close") && close(fd.release()) == 0;
    CrashPoint("before-rename");
    if (!written || InjectedFailure("rename") ||
        renameat(folder, TempFileName, folder, HiveFileName) != 0) {
        unlinkat(folder, TempFileName, 0);
        return false;
    }
    CrashPoint("before-folder-flush");
    // The rename lasts only once the folder is on disk.
    return !InjectedFailure("folder-sync") && fsync(folder) == 0;
}

}  // namespace

LONG LoadHive(std::shared_ptr<const HiveDocument>* hive) {
    const std::string directory = RegistryDirectory();
    if (directory.empty()) return ERROR_REGISTRY_IO_FAILED;
    const FileDescriptor folder = OpenFolder(directory);
    if (!folder.ok()) {
        if (errno != ENOENT) return ERROR_REGISTRY_IO_FAILED;          // a file, a link...
        auto empty = std::shared_ptr<HiveDocument>(new HiveDocument);  // nothing written yet
        if (!MakeEmptyHive(*empty)) return ERROR_NOT_ENOUGH_MEMORY;
        *hive = std::move(empty);
        return ERROR_SUCCESS;
    }
    const CacheLock guard;
    std::shared_ptr<HiveDocument> loaded;
    const LONG status = LoadHiveFrom(folder.get(), directory, &loaded);
    *hive = std::move(loaded);
    return status;
}

LONG UpdateHive(const HiveChange& change) {
    const std::string directory = RegistryDirectory();
    if (directory.empty() || !MakeFolders(directory)) return ERROR_REGISTRY_IO_FAILED;
    const FileDescriptor folder = OpenFolder(directory);
    if (!folder.ok()) return ERROR_REGISTRY_IO_FAILED;

    const FileDescriptor lock(openat(folder.get(), LockFileName,
                                     O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
    if (!lock.ok() || !AcquireLock(lock.get())) return ERROR_REGISTRY_IO_FAILED;

    const CacheLock guard;
    std::shared_ptr<HiveDocument> hive;
    LONG status = LoadHiveFrom(folder.get(), directory, &hive);
    if (status != ERROR_SUCCESS) return status;
    // Edit the cached document itself unless a reader still holds it.
    if (hive.use_count() > 2) {
        auto copy = std::shared_ptr<HiveDocument>(new HiveDocument);
        if (!copy->bytes.Assign(hive->bytes.data(), hive->bytes.size()) || !IndexHive(*copy)) {
            return ERROR_NOT_ENOUGH_MEMORY;
        }
        hive = std::move(copy);
    }
    bool changed = false;
    status = change(*hive, &changed);
    if (status != ERROR_SUCCESS || !changed) return status;
    if (!ReplaceHive(folder.get(), hive->bytes)) return ERROR_REGISTRY_IO_FAILED;
    cache = CachedHive{directory, std::move(hive)};
    return ERROR_SUCCESS;
}

}  // namespace lumivarden::host
