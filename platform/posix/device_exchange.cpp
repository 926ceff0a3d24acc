#include "device_exchange.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>

namespace lumivarden::device {
namespace {

using Clock = std::chrono::steady_clock;

// Waits for the socket until the deadline; the platform error on failure.
DWORD Wait(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return ERROR_SEM_TIMEOUT;
        pollfd entry{fd, events, 0};
        const int ready = poll(&entry, 1, static_cast<int>(left.count()));
        if (ready > 0) return ERROR_SUCCESS;
        if (ready < 0 && errno != EINTR) return ERROR_GEN_FAILURE;
    }
}

DWORD SendAll(int fd, const std::uint8_t* data, std::size_t size, Clock::time_point deadline) {
    while (size > 0) {
        const ssize_t sent = send(fd, data, size, MSG_NOSIGNAL);
        if (sent > 0) {
            data += sent;
            size -= static_cast<std::size_t>(sent);
        } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (const DWORD error = Wait(fd, POLLOUT, deadline)) return error;
        } else if (sent < 0 && errno == EINTR) {
            continue;
        } else {
            return ERROR_BROKEN_PIPE;
        }
    }
    return ERROR_SUCCESS;
}

DWORD ReceiveAll(int fd, std::uint8_t* data, std::size_t size, Clock::time_point deadline) {
    while (size > 0) {
        const ssize_t got = recv(fd, data, size, 0);
        if (got > 0) {
            data += got;
            size -= static_cast<std::size_t>(got);
        } else if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (const DWORD error = Wait(fd, POLLIN, deadline)) return error;
        } else if (got == 0 || errno != EINTR) {
            return ERROR_BROKEN_PIPE;  // closed early, or the connection broke
        }
    }
    return ERROR_SUCCESS;
}

Clock::time_point Deadline() {
    return Clock::now() + std::chrono::milliseconds(ExchangeTimeoutMilliseconds);
}

}  // namespace

DWORD ExchangeOpen(int fd, DWORD access, DWORD shareMode) {
    const auto deadline = Deadline();
    const auto request = EncodeOpenRequest(access, shareMode);
    std::array<std::uint8_t, OpenReplySize> reply;
    if (const DWORD error = SendAll(fd, request.data(), request.size(), deadline)) return error;
    if (const DWORD error = ReceiveAll(fd, reply.data(), reply.size(), deadline)) return error;
    return DecodeOpenReply(reply);
}

DWORD ExchangeControl(int fd, DWORD code, const void* input, DWORD inputSize, void* output,
                      DWORD outputSize, DWORD* returned, bool* broken) {
    const std::uint32_t capacity = outputSize < MaxPayload ? outputSize : MaxPayload;
    const auto header = EncodeControlHeader(code, inputSize, capacity);

    const auto deadline = Deadline();
    std::array<std::uint8_t, ControlReplyHeaderSize> replyHeader;
    DWORD error = SendAll(fd, header.data(), header.size(), deadline);
    if (!error) error = SendAll(fd, static_cast<const std::uint8_t*>(input), inputSize, deadline);
    if (!error) error = ReceiveAll(fd, replyHeader.data(), replyHeader.size(), deadline);
    if (!error) {
        const ControlReply reply = DecodeControlReply(replyHeader, capacity);
        error = reply.valid ? ReceiveAll(fd, static_cast<std::uint8_t*>(output), reply.outputLength,
                                         deadline)
                            : ERROR_INVALID_DATA;
        if (!error) {
            *returned = reply.outputLength;
            return reply.status;
        }
    }
    *broken = true;
    return error;
}

}  // namespace lumivarden::device
