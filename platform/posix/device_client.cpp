// The device functions: a handle is a connection to the driver's socket, held
// open from CreateFileW to CloseHandle.
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#include "device_directory.h"
#include "device_exchange.h"
#include "file_descriptor.h"
#include "handle_table.h"
#include "winapi.h"

namespace lumivarden::device {
namespace {

struct DeviceHandle {
    int fd = -1;
    bool broken = false;  // a failed exchange leaves the stream out of step
};

host::HandleTable<DeviceHandle> deviceHandles;

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

    if (const DWORD status = ExchangeOpen(fd.get(), access, shareMode)) return status;
    *out = std::move(fd);
    return ERROR_SUCCESS;
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
    deviceHandles.Add(handle);
    return handle;
}

BOOL WINAPI DeviceIoControl(HANDLE device, DWORD ioControlCode, LPVOID inBuffer, DWORD inBufferSize,
                            LPVOID outBuffer, DWORD outBufferSize, LPDWORD bytesReturned,
                            LPOVERLAPPED overlapped) {
    DeviceHandle* handle = deviceHandles.Find(device);
    DWORD error = ERROR_SUCCESS;
    DWORD returned = 0;
    if (handle == nullptr) {
        error = ERROR_INVALID_HANDLE;
    } else if (overlapped != nullptr) {
        error = ERROR_NOT_SUPPORTED;
    } else if ((inBuffer == nullptr && inBufferSize != 0) ||
               (outBuffer == nullptr && outBufferSize != 0) || inBufferSize > MaxPayload ||
               bytesReturned == nullptr) {
        // The platform requires a bytes-returned pointer of a synchronous call
        // and its own system writes through it: a caller without one must not pass here.
        error = ERROR_INVALID_PARAMETER;
    } else if (handle->broken) {
        error = ERROR_GEN_FAILURE;
    } else {
        error = ExchangeControl(handle->fd, ioControlCode, inBuffer, inBufferSize, outBuffer,
                                outBufferSize, &returned, &handle->broken);
    }
    if (bytesReturned != nullptr) *bytesReturned = returned;
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE object) {
    DeviceHandle* handle = deviceHandles.Remove(object);
    if (handle == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    close(handle->fd);
    delete handle;
    return TRUE;
}
