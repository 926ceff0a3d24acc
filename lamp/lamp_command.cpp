#include "lamp_command.h"

#include <stddef.h>

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
    // A synchronous call must be given somewhere to put the output size; the
    // lamp answers with none, so the count is not looked at.
    DWORD returned = 0;
    DeviceIoControl(device, LampControlCode, input, sizeof input, NULL, 0, &returned, NULL);

    CloseHandle(device);
}
