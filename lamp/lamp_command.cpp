#include "lamp_command.h"

#include <stddef.h>

namespace {

const DWORD LampControlCode = 0x90002014;  // device type 0x9000, function 0x805, buffered

}  // namespace

void SendLampCommand(LampMode mode) {
    HANDLE device = CreateFileW(TEXT("CIF1:"), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (device == INVALID_HANDLE_VALUE) {
        return;  // no driver, or it is busy: nothing to send, nothing to close
    }

    // The driver reads a little-endian 32-bit mode whatever the CPU's byte order.
    BYTE input[4];
    input[0] = static_cast<BYTE>(mode & 0xFF);
    input[1] = static_cast<BYTE>((mode >> 8) & 0xFF);
    input[2] = static_cast<BYTE>((mode >> 16) & 0xFF);
    input[3] = static_cast<BYTE>((mode >> 24) & 0xFF);
    DeviceIoControl(device, LampControlCode, input, sizeof input, NULL, 0, NULL, NULL);

    CloseHandle(device);
}
