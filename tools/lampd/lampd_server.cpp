#include "lampd_server.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <list>
#include <vector>

#include "device_protocol.h"
#include "file_descriptor.h"
#include "lamp_requests.h"

namespace lumivarden::lampd {
namespace {

using Clock = std::chrono::steady_clock;
using host::FileDescriptor;

// A client must finish each frame, and send its open, within this time.
constexpr std::chrono::milliseconds FrameTimeout{5000};
constexpr std::size_t MaxConnections = 16;

struct Connection {
    FileDescriptor fd;
    std::vector<std::uint8_t> received;
    bool opened = false;
    Clock::time_point deadline;  // for the frame under way; none while idle and open
    bool waiting = true;
};

bool FillAddress(const std::string& path, sockaddr_un* address) {
    *address = sockaddr_un{};
    address->sun_family = AF_UNIX;
    if (path.size() >= sizeof address->sun_path) return false;
    std::memcpy(address->sun_path, path.c_str(), path.size() + 1);
    return true;
}

// Whether a driver already answers at the path; a stale socket is removed.
bool ClaimPath(const std::string& path, std::string* error) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) return true;
    if (!S_ISSOCK(info.st_mode)) {
        *error = path + ": exists and is not a socket";
        return false;
    }
    sockaddr_un address;
    FillAddress(path, &address);
    FileDescriptor probe(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (probe.ok() &&
        connect(probe.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        *error = path + ": another driver is already serving this device";
        return false;
    }
    unlink(path.c_str());
    return true;
}

// Listens on a private name first and renames it into place, so that a client
// never finds a socket that does not accept yet.
FileDescriptor Listen(const std::string& path, std::string* error) {
    sockaddr_un address;
    const std::string staging = path + ".starting." + std::to_string(getpid());
    if (!FillAddress(staging, &address)) {
        *error = path + ": socket path too long (at most " +
                 std::to_string(sizeof address.sun_path - 20) + " bytes)";
        return FileDescriptor();
    }
    if (!ClaimPath(path, error)) return FileDescriptor();
    unlink(staging.c_str());
    FileDescriptor fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd.ok() ||
        bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(fd.get(), 16) != 0 || rename(staging.c_str(), path.c_str()) != 0) {
        *error = path + ": cannot listen: " + std::strerror(errno);
        unlink(staging.c_str());
        return FileDescriptor();
    }
    return fd;
}

class Driver {
  public:
    explicit Driver(const ServerSetup& setup) : setup_(setup) {}

    void Accept(int listener) {
        for (;;) {
            FileDescriptor fd(accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
            if (!fd.ok()) return;
            if (connections_.size() >= MaxConnections) continue;  // closed at once
            Connection& connection = connections_.emplace_back();
            connection.fd = std::move(fd);
            connection.deadline = Clock::now() + FrameTimeout;
        }
    }

    // Reads what the client sent and answers every complete frame; false when
    // the connection is to be dropped.
    bool Receive(Connection& connection) {
        std::uint8_t chunk[4096];
        for (;;) {
            const ssize_t got = recv(connection.fd.get(), chunk, sizeof chunk, 0);
            if (got == 0) return false;
            if (got < 0) {
                if (errno == EINTR) continue;
                if (errno == EAGAIN || errno == EWOULDBLOCK) break;
                return false;
            }
            if (connection.received.empty()) connection.deadline = Clock::now() + FrameTimeout;
            connection.received.insert(connection.received.end(), chunk, chunk + got);
            if (!Answer(connection)) return false;
        }
        connection.waiting = !connection.opened || !connection.received.empty();
        return true;
    }

    bool Answer(Connection& connection) {
        std::size_t used = 0;
        bool keep = true;
        while (keep) {
            const device::Request request = device::DecodeRequest(
                connection.received.data() + used, connection.received.size() - used);
            if (request.kind == device::Request::Kind::Incomplete) break;
            if (request.kind == device::Request::Kind::Invalid) return false;
            keep = request.kind == device::Request::Kind::Open ? Open(connection, request)
                                                               : Control(connection, request);
            used += request.frameSize;
            connection.deadline = Clock::now() + FrameTimeout;
        }
        connection.received.erase(connection.received.begin(),
                                  connection.received.begin() + static_cast<long>(used));
        return keep;
    }

    bool Open(Connection& connection, const device::Request& request) {
        std::uint32_t status = StatusOk;
        if (connection.opened) {
            status = StatusInvalidParameter;
        } else if (holder_ != nullptr) {
            status = StatusSharingViolation;  // the tool opens with no sharing
        } else {
            connection.opened = true;
            holder_ = &connection;
        }
        Log(DescribeOpen(request, status));
        std::uint8_t reply[device::OpenReplySize];
        device::PutU32(reply, status);
        return Send(connection, reply, sizeof reply) && status == StatusOk;
    }

    bool Control(Connection& connection, const device::Request& request) {
        ControlOutcome outcome;
        if (!connection.opened) {
            outcome.status = StatusInvalidHandle;
        } else {
            outcome = HandleControl(request);
        }
        std::string error;
        if (outcome.lamp != Lamp::Unknown && setup_.led != nullptr &&
            !SetLed(*setup_.led, outcome.lamp == Lamp::On, &error)) {
            std::fprintf(stderr, "lumivarden-lampd: %s\n", error.c_str());
            outcome = ControlOutcome{StatusGenFailure, Lamp::Unknown};
        }
        Log(DescribeControl(request, outcome.status));
        if (outcome.lamp != Lamp::Unknown) {
            std::fputs(outcome.lamp == Lamp::On ? "lamp on\n" : "lamp off\n", setup_.lampOut);
            std::fflush(setup_.lampOut);
        }
        std::uint8_t reply[device::ControlReplyHeaderSize];
        device::PutU32(reply, outcome.status);
        device::PutU32(reply + 4, 0);
        return Send(connection, reply, sizeof reply) &&
               connection.opened;  // no open: broken client
    }

    // Replies are a few bytes; a client that does not take them is dropped.
    static bool Send(Connection& connection, const std::uint8_t* data, std::size_t size) {
        const ssize_t sent = send(connection.fd.get(), data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        return sent == static_cast<ssize_t>(size);
    }

    void Log(const std::string& line) {
        if (setup_.log == nullptr) return;
        std::fprintf(setup_.log, "%s\n", line.c_str());
        std::fflush(setup_.log);
    }

    void Drop(std::list<Connection>::iterator it) {
        if (holder_ == &*it) holder_ = nullptr;
        connections_.erase(it);
    }

    // Serves until the stop descriptor becomes readable.
    void Run(int listener) {
        std::vector<pollfd> fds;
        for (;;) {
            fds.assign({{setup_.stopFd, POLLIN, 0}, {listener, POLLIN, 0}});
            auto next = Clock::time_point::max();
            for (const Connection& connection : connections_) {
                fds.push_back({connection.fd.get(), POLLIN, 0});
                if (connection.waiting && connection.deadline < next) next = connection.deadline;
            }
            int timeout = -1;
            if (next != Clock::time_point::max()) {
                const auto left =
                    std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now());
                timeout = static_cast<int>(std::max<long long>(0, left.count() + 1));
            }
            if (poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR) return;
            if (fds[0].revents != 0) return;

            const auto now = Clock::now();
            std::size_t index = 2;
            for (auto it = connections_.begin(); it != connections_.end(); ++index) {
                const bool ready = fds[index].revents != 0;
                const bool alive = ready ? Receive(*it) : !(it->waiting && it->deadline <= now);
                if (alive) {
                    ++it;
                } else {
                    auto gone = it++;
                    Drop(gone);
                }
            }
            if (fds[1].revents != 0) Accept(listener);
        }
    }

  private:
    const ServerSetup& setup_;
    std::list<Connection> connections_;
    Connection* holder_ = nullptr;
};

}  // namespace

bool Serve(const ServerSetup& setup, std::string* error) {
    FileDescriptor listener = Listen(setup.socketPath, error);
    if (!listener.ok()) return false;
    Driver(setup).Run(listener.get());
    unlink(setup.socketPath.c_str());
    return true;
}

}  // namespace lumivarden::lampd
