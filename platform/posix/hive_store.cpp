#include "hive_store.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "crash_point.h"
#include "file_descriptor.h"
#include "hive_text.h"

namespace lumivarden::host {
namespace {

constexpr const char* HiveFileName = "HKEY_CURRENT_USER.reg";
constexpr const char* LockFileName = "HKEY_CURRENT_USER.reg.lock";
constexpr const char* TempFileName = "HKEY_CURRENT_USER.reg.tmp";
constexpr int LockWaitMilliseconds = 5000;

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

std::string HomeDirectory() {
    std::string home = Environment("HOME");
    if (home.empty()) {
        if (const passwd* entry = getpwuid(geteuid())) {
            if (entry->pw_dir != nullptr) home = entry->pw_dir;
        }
    }
    return home;
}

// Creates the folder and its missing parents, those it creates private to the user.
bool MakeDirectories(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
    if (errno != ENOENT) return false;
    const std::size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeDirectories(path.substr(0, slash))) {
        return false;
    }
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool ReadAll(int fd, std::string* out) {
    struct stat info {};
    if (fstat(fd, &info) != 0) return false;
    out->resize(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    for (;;) {
        if (done == out->size()) out->resize(out->size() + 4096);  // it may have grown
        const ssize_t got = read(fd, out->data() + done, out->size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    out->resize(done);
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

// The registry folder itself, never through a link in its last component:
// every file in it is then reached relative to this descriptor.
FileDescriptor OpenFolder(const std::string& directory) {
    return FileDescriptor(open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

LONG LoadHiveFrom(int folder, Hive* hive) {
    FileDescriptor fd(openat(folder, HiveFileName, O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!fd.ok()) {
        if (errno == ENOENT) {
            *hive = Hive{};
            return ERROR_SUCCESS;
        }
        return ERROR_REGISTRY_IO_FAILED;  // a symbolic link, unreadable...
    }
    struct stat info {};
    if (fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != geteuid()) {
        return ERROR_REGISTRY_IO_FAILED;  // another user's hive is not ours to trust or replace
    }
    std::string bytes;
    if (!ReadAll(fd.get(), &bytes)) return ERROR_REGISTRY_IO_FAILED;
    std::optional<Hive> parsed =
        ParseHive(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    if (!parsed) return ERROR_REGISTRY_CORRUPT;
    *hive = std::move(*parsed);
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
bool ReplaceHive(int folder, const std::string& bytes) {
    unlinkat(folder, TempFileName, 0);  // left by a writer that died; we hold the lock
    FileDescriptor fd(
        openat(folder, TempFileName, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd.ok()) return false;
    bool written = fchmod(fd.get(), 0600) == 0;
    if (written) {
        const std::size_t half = bytes.size() / 2;
        written = WriteAll(fd.get(), bytes.data(), half);
        CrashPoint("temp-partial");
        written = written && WriteAll(fd.get(), bytes.data() + half, bytes.size() - half);
    }
    CrashPoint("temp-written");
    written = written && fsync(fd.get()) == 0 && close(fd.release()) == 0;
    CrashPoint("before-rename");
    if (!written || renameat(folder, TempFileName, folder, HiveFileName) != 0) {
        unlinkat(folder, TempFileName, 0);
        return false;
    }
    CrashPoint("before-folder-flush");
    return fsync(folder) == 0;  // the rename lasts only once the folder is on disk
}

}  // namespace

std::string RegistryDirectory() {
    std::string directory = Environment("LUMIVARDEN_REGISTRY_DIR");
    if (!directory.empty()) return directory;
    std::string state = Environment("XDG_STATE_HOME");
    if (state.empty() || state.front() != '/') {  // relative values are to be ignored
        const std::string home = HomeDirectory();
        if (home.empty()) return std::string();
        state = home + "/.local/state";
    }
    return state + "/lumivarden/registry";
}

LONG LoadHive(Hive* hive) {
    const std::string directory = RegistryDirectory();
    if (directory.empty()) return ERROR_REGISTRY_IO_FAILED;
    const FileDescriptor folder = OpenFolder(directory);
    if (!folder.ok()) {
        if (errno != ENOENT) return ERROR_REGISTRY_IO_FAILED;  // a file, a link...
        *hive = Hive{};                                        // nothing written yet
        return ERROR_SUCCESS;
    }
    return LoadHiveFrom(folder.get(), hive);
}

LONG UpdateHive(const HiveChange& change) {
    const std::string directory = RegistryDirectory();
    if (directory.empty() || !MakeDirectories(directory)) return ERROR_REGISTRY_IO_FAILED;
    const FileDescriptor folder = OpenFolder(directory);
    if (!folder.ok()) return ERROR_REGISTRY_IO_FAILED;

    const FileDescriptor lock(
        openat(folder.get(), LockFileName, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!lock.ok() || !AcquireLock(lock.get())) return ERROR_REGISTRY_IO_FAILED;

    Hive hive;
    LONG status = LoadHiveFrom(folder.get(), &hive);
    if (status != ERROR_SUCCESS) return status;
    bool changed = false;
    status = change(hive, &changed);
    if (status != ERROR_SUCCESS || !changed) return status;
    return ReplaceHive(folder.get(), WriteHive(hive)) ? ERROR_SUCCESS : ERROR_REGISTRY_IO_FAILED;
}

}  // namespace lumivarden::host
