#include "lampd_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
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
// How long to stop accepting when out of descriptors with no spare to shed with.
constexpr std::chrono::milliseconds AcceptPause{100};

struct Connection {
    FileDescriptor fd;
    std::vector<std::uint8_t> received;
    bool opened = false;
    Clock::time_point deadline;  // for the frame under way; none while idle and open
    bool waiting = true;
};

class Driver {
  public:
    explicit Driver(const ServerSetup& setup) : setup_(setup), spare_(OpenSpare()) {}

    void Accept(int listener) {
        for (;;) {
            FileDescriptor fd(accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
            if (!fd.ok()) {
                if (errno == EINTR || errno == ECONNABORTED) continue;
                if (errno == EMFILE || errno == ENFILE) {
                    if (Shed(listener)) continue;
                    acceptPausedUntil_ = Clock::now() + AcceptPause;
                }
                return;
            }
            if (connections_.size() >= MaxConnections) continue;  // closed at once
            Connection& connection = connections_.emplace_back();
            connection.fd = std::move(fd);
            connection.deadline = Clock::now() + FrameTimeout;
        }
    }

    // Out of descriptors, the waiting connection would keep the listener
    // readable for ever: the spare descriptor makes room to take it and close
    // it, so the client learns at once that the driver is busy.
    bool Shed(int listener) {
        if (!spare_.ok()) return false;
        spare_ = FileDescriptor();
        const FileDescriptor shed(accept4(listener, nullptr, nullptr, SOCK_CLOEXEC));
        spare_ = OpenSpare();
        return shed.ok();
    }

    static FileDescriptor OpenSpare() {
        return FileDescriptor(open("/dev/null", O_RDONLY | O_CLOEXEC));
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
        std::uint32_t status = ERROR_SUCCESS;
        if (connection.opened) {
            status = ERROR_INVALID_PARAMETER;
        } else if (holder_ != nullptr) {
            status = ERROR_SHARING_VIOLATION;  // the tool opens with no sharing
        } else {
            connection.opened = true;
            holder_ = &connection;
        }
        Log(DescribeOpen(request, status));
        const auto reply = device::EncodeOpenReply(status);
        return Send(connection, reply.data(), reply.size()) && status == ERROR_SUCCESS;
    }

    bool Control(Connection& connection, const device::Request& request) {
        ControlOutcome outcome;
        if (!connection.opened) {
            outcome.status = ERROR_INVALID_HANDLE;
        } else {
            outcome = HandleControl(request);
        }
        std::string error;
        if (outcome.lamp != Lamp::Unknown && setup_.led != nullptr &&
            !SetLed(*setup_.led, outcome.lamp == Lamp::On, &error)) {
            std::fprintf(stderr, "lumivarden-lampd: %s\n", error.c_str());
            outcome = ControlOutcome{ERROR_GEN_FAILURE, Lamp::Unknown};
        }
        Log(DescribeControl(request, outcome.status));
        if (outcome.lamp != Lamp::Unknown) {
            // Whoever reads these lines may be gone: the lamp is served all the same.
            std::fputs(outcome.lamp == Lamp::On ? "lamp on\n" : "lamp off\n", setup_.lampOut);
            std::fflush(setup_.lampOut);
        }
        const auto reply = device::EncodeControlReplyHeader(outcome.status, 0);
        return Send(connection, reply.data(), reply.size()) &&
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
            // A negative descriptor is skipped by poll: the listener rests while paused.
            const bool accepting = Clock::now() >= acceptPausedUntil_;
            fds.assign({{setup_.stopFd, POLLIN, 0}, {accepting ? listener : -1, POLLIN, 0}});
            auto next = accepting ? Clock::time_point::max() : acceptPausedUntil_;
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
    FileDescriptor spare_;
    Clock::time_point acceptPausedUntil_;
    std::list<Connection> connections_;
    Connection* holder_ = nullptr;
};

}  // namespace

void Serve(const ServerSetup& setup) {
    Driver(setup).Run(setup.listener);
}

}  // namespace lumivarden::lampd
