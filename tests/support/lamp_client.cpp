#include "lamp_client.h"

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
        lumivarden::device::PutU32(bytes.data() + at, word);
        at += 4;
    }
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    return bytes;
}

}  // namespace testing_support
