#include "lamp_client.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

#include "device_protocol.h"

namespace testing_support {

HANDLE OpenLamp() {
    return CreateFileW(u"CIF1:", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

BOOL SendControl(HANDLE device, DWORD code, const FrameBytes& input) {
    DWORD returned = 0;
    FrameBytes copy = input;
    return DeviceIoControl(device, code, copy.data(), static_cast<DWORD>(copy.size()), nullptr, 0,
                           &returned, nullptr);
}

BOOL SwitchLamp(std::uint8_t mode) {
    HANDLE device = OpenLamp();
    if (device == INVALID_HANDLE_VALUE) return FALSE;
    const BOOL done = SendControl(device, LampCode, {mode, 0, 0, 0});
    const DWORD error = GetLastError();
    CloseHandle(device);
    SetLastError(error);
    return done;
}

FrameBytes Frame(std::initializer_list<std::uint32_t> words, const FrameBytes& tail) {
    FrameBytes bytes(words.size() * 4);
    std::size_t at = 0;
    for (std::uint32_t word : words) {
        lumivarden::device::StoreLe32(bytes.data() + at, word);
        at += 4;
    }
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    return bytes;
}

RawClient::RawClient(const std::string& socketPath) : fd_(socket(AF_UNIX, SOCK_STREAM, 0)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
    if (connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd_);
        throw std::runtime_error("cannot connect to " + socketPath);
    }
}

RawClient::~RawClient() {
    close(fd_);
}

void RawClient::SendWords(std::initializer_list<std::uint32_t> words, const FrameBytes& tail) {
    const FrameBytes bytes = Frame(words, tail);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t sent = send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (sent <= 0) return;
        done += static_cast<std::size_t>(sent);
    }
}

bool RawClient::ClosedWithin(int milliseconds) {
    pollfd entry{fd_, POLLIN, 0};
    char buffer[64];
    for (;;) {
        if (poll(&entry, 1, milliseconds) <= 0) return false;
        if (recv(fd_, buffer, sizeof buffer, 0) <= 0) return true;
    }
}

}  // namespace testing_support
