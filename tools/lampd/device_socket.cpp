#include "device_socket.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace lumivarden::lampd {
namespace {

using host::FileDescriptor;

// Device names hold no space, so neither name can be another device's socket.
constexpr const char* LockSuffix = " lock";
constexpr const char* StartingSuffix = " new";

bool FillAddress(const std::string& path, sockaddr_un* address) {
    *address = sockaddr_un{};
    address->sun_family = AF_UNIX;
    if (path.size() >= sizeof address->sun_path) return false;
    std::memcpy(address->sun_path, path.c_str(), path.size() + 1);
    return true;
}

std::string Failure(const std::string& path, const char* what) {
    return path + ": " + what + ": " + std::strerror(errno);
}

}  // namespace

std::size_t MaxSocketPathLength() {
    return sizeof sockaddr_un::sun_path - 1 - std::strlen(StartingSuffix);
}

bool OpenDeviceSocket(const std::string& path, DeviceSocket* served, std::string* error) {
    if (path.size() > MaxSocketPathLength()) {
        *error = path + ": socket path too long (at most " + std::to_string(MaxSocketPathLength()) +
                 " bytes)";
        return false;
    }
    const std::string lockPath = path + LockSuffix;
    FileDescriptor lock(open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!lock.ok()) {
        *error = Failure(lockPath, "cannot open lock");
        return false;
    }
    if (flock(lock.get(), LOCK_EX | LOCK_NB) != 0) {
        *error = errno == EWOULDBLOCK ? path + ": another driver is already serving this device"
                                      : Failure(lockPath, "cannot lock");
        return false;
    }

    // Holding the name, whatever socket is there was left by a driver that died.
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0) {
        if (!S_ISSOCK(info.st_mode)) {
            *error = path + ": exists and is not a socket";
            return false;
        }
        unlink(path.c_str());
    }
    // Listening before the socket takes its name: a client never finds one
    // that refuses connections.
    const std::string starting = path + StartingSuffix;
    sockaddr_un address;
    FillAddress(starting, &address);
    unlink(starting.c_str());
    FileDescriptor listener(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!listener.ok() ||
        bind(listener.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener.get(), 16) != 0 || rename(starting.c_str(), path.c_str()) != 0 ||
        lstat(path.c_str(), &info) != 0) {
        *error = Failure(path, "cannot listen");
        unlink(starting.c_str());
        return false;
    }
    *served = DeviceSocket{path, std::move(lock), std::move(listener), info.st_dev, info.st_ino};
    return true;
}

void CloseDeviceSocket(DeviceSocket& served) {
    struct stat info {};
    if (lstat(served.path.c_str(), &info) == 0 && info.st_dev == served.device &&
        info.st_ino == served.inode) {
        unlink(served.path.c_str());
    }
    served.listener = FileDescriptor();
    served.lock = FileDescriptor();
}

}  // namespace lumivarden::lampd
