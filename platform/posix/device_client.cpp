// The device functions: a handle is a connection to the driver's socket, held
// open from CreateFileW to CloseHandle. Every exchange has a deadline, so a
// driver that hangs or misbehaves costs a failed call, never a hung program.
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#include "device_directory.h"
#include "device_protocol.h"
#include "file_descriptor.h"
#include "winapi.h"

namespace lumivarden::device {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds ExchangeTimeout{3000};
constexpr std::uint32_t DeviceHandleMagic = 0x44455631;  // "DEV1"

struct DeviceHandle {
    std::uint32_t magic = DeviceHandleMagic;
    int fd = -1;
    bool broken = false;  // a failed exchange leaves the stream out of step
};

DeviceHandle* FromHandle(HANDLE object) {
    if (object == nullptr || object == INVALID_HANDLE_VALUE) return nullptr;
    DeviceHandle* handle = static_cast<DeviceHandle*>(object);
    return handle->magic == DeviceHandleMagic ? handle : nullptr;
}

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

// Connects to the device's socket without blocking; the platform error on failure.
DWORD Connect(const std::string& path, host::FileDescriptor* out) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return ERROR_FILENAME_EXCED_RANGE;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);

    host::FileDescriptor fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd.ok()) return ERROR_GEN_FAILURE;
    if (connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        switch (errno) {
            case EACCES:
            case EPERM:
                return ERROR_ACCESS_DENIED;
            case EAGAIN:  // the driver's queue is full
                return ERROR_SHARING_VIOLATION;
            default:  // no socket, or a socket nobody serves
                return ERROR_FILE_NOT_FOUND;
        }
    }
    *out = std::move(fd);
    return ERROR_SUCCESS;
}

DWORD Open(LPCWSTR fileName, DWORD access, DWORD shareMode, host::FileDescriptor* out) {
    const std::string name = fileName != nullptr ? SocketName(fileName) : std::string();
    if (name.empty()) return ERROR_FILE_NOT_FOUND;
    const DeviceDirectory directory = LocateDeviceDirectory();
    if (!IsTrusted(directory)) return ERROR_ACCESS_DENIED;

    host::FileDescriptor fd;
    if (const DWORD error = Connect(directory.path + "/" + name, &fd)) return error;

    const auto deadline = Clock::now() + ExchangeTimeout;
    std::uint8_t request[OpenRequestSize];
    PutU32(request, OpOpen);
    PutU32(request + 4, access);
    PutU32(request + 8, shareMode);
    std::uint8_t reply[OpenReplySize];
    if (const DWORD error = SendAll(fd.get(), request, sizeof request, deadline)) return error;
    if (const DWORD error = ReceiveAll(fd.get(), reply, sizeof reply, deadline)) return error;
    if (const DWORD status = GetU32(reply)) return status;
    *out = std::move(fd);
    return ERROR_SUCCESS;
}

DWORD Control(DeviceHandle& handle, DWORD code, const void* input, DWORD inputSize, void* output,
              DWORD outputSize, DWORD* returned) {
    const std::uint32_t capacity = outputSize < MaxPayload ? outputSize : MaxPayload;
    std::uint8_t header[ControlHeaderSize];
    PutU32(header, OpControl);
    PutU32(header + 4, code);
    PutU32(header + 8, inputSize);
    PutU32(header + 12, capacity);

    const auto deadline = Clock::now() + ExchangeTimeout;
    DWORD error = SendAll(handle.fd, header, sizeof header, deadline);
    if (!error)
        error = SendAll(handle.fd, static_cast<const std::uint8_t*>(input), inputSize, deadline);
    std::uint8_t replyHeader[ControlReplyHeaderSize];
    if (!error) error = ReceiveAll(handle.fd, replyHeader, sizeof replyHeader, deadline);
    if (error) {
        handle.broken = true;
        return error;
    }
    const ControlReply reply = DecodeControlReply(replyHeader, capacity);
    if (!reply.valid) {
        handle.broken = true;
        return ERROR_INVALID_DATA;
    }
    error = ReceiveAll(handle.fd, static_cast<std::uint8_t*>(output), reply.outputLength, deadline);
    if (error) {
        handle.broken = true;
        return error;
    }
    *returned = reply.outputLength;
    return reply.status;
}

}  // namespace
}  // namespace lumivarden::device

using namespace lumivarden::device;

HANDLE WINAPI CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode,
                          LPSECURITY_ATTRIBUTES security, DWORD creationDisposition,
                          DWORD flagsAndAttributes, HANDLE templateFile) {
    (void)security;
    (void)creationDisposition;  // a device either exists or it does not
    (void)flagsAndAttributes;
    (void)templateFile;
    lumivarden::host::FileDescriptor fd;
    if (const DWORD error = Open(fileName, desiredAccess, shareMode, &fd)) {
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    DeviceHandle* handle = new (std::nothrow) DeviceHandle;
    if (handle == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return INVALID_HANDLE_VALUE;
    }
    handle->fd = fd.release();
    return handle;
}

BOOL WINAPI DeviceIoControl(HANDLE device, DWORD ioControlCode, LPVOID inBuffer, DWORD inBufferSize,
                            LPVOID outBuffer, DWORD outBufferSize, LPDWORD bytesReturned,
                            LPOVERLAPPED overlapped) {
    DeviceHandle* handle = FromHandle(device);
    DWORD error = ERROR_SUCCESS;
    DWORD returned = 0;
    if (handle == nullptr) {
        error = ERROR_INVALID_HANDLE;
    } else if (overlapped != nullptr) {
        error = ERROR_NOT_SUPPORTED;
    } else if ((inBuffer == nullptr && inBufferSize != 0) ||
               (outBuffer == nullptr && outBufferSize != 0) || inBufferSize > MaxPayload) {
        error = ERROR_INVALID_PARAMETER;
    } else if (handle->broken) {
        error = ERROR_GEN_FAILURE;
    } else {
        error = Control(*handle, ioControlCode, inBuffer, inBufferSize, outBuffer, outBufferSize,
                        &returned);
    }
    if (bytesReturned != nullptr) *bytesReturned = returned;
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE object) {
    DeviceHandle* handle = FromHandle(object);
    if (handle == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    close(handle->fd);
    delete handle;
    return TRUE;
}
